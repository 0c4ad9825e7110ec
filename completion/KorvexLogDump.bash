# bash completion for KorvexLogDump: options, then the format word, then the log file.
_KorvexLogDump() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local options="-q --quiet -h --help -V --version --"
  local formats="tab comma space csv tsv"
  local i word positional=0 ended=0
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if ((!ended)) && [[ $word == -- ]]; then
      ended=1
    elif ((ended)) || [[ $word != -?* ]]; then
      positional=$((positional + 1))
    fi
  done
  if ((!ended)) && [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
  elif ((positional == 0)); then
    mapfile -t COMPREPLY < <(compgen -W "$formats" -- "$cur")
  else
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  fi
}
complete -o filenames -F _KorvexLogDump KorvexLogDump
