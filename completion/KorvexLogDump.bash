# bash completion for KorvexLogDump: options and their values, then the format word, then the
# log file.
_KorvexLogDump() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local options="--flights --flight --from --to --gap --columns -o --output --split -f --force --utc-offset --describe --findings --profile --no-profile --profile-template -q --quiet -h --help -V --version --"
  local with_value=" --flight --from --to --gap --columns -o --output --split --utc-offset --profile "
  local formats="tab comma space csv tsv gpx kml html sqlite"
  local i word positional=0 ended=0
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    if ((!ended)) && [[ $word == -- ]]; then
      ended=1
    elif ((!ended)) && [[ $with_value == *" $word "* ]]; then
      i=$((i + 1))  # the option's value
    elif ((ended)) || [[ $word != -?* ]]; then
      positional=$((positional + 1))
    fi
  done
  if ((!ended)); then
    case $prev in
      --split)
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
        ;;
      --profile | -o | --output)
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
      --columns)
        mapfile -t COMPREPLY < <(compgen -W "base telm1 telm2 attitude gps" -- "$cur")
        return
        ;;
      --flight)
        mapfile -t COMPREPLY < <(compgen -W "last" -- "$cur")
        return
        ;;
      --from | --to | --gap | --utc-offset)
        COMPREPLY=()
        return
        ;;
    esac
  fi
  if ((!ended)) && [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
  elif ((positional == 0)); then
    mapfile -t COMPREPLY < <(compgen -W "$formats" -- "$cur")
  else
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  fi
}
complete -o filenames -F _KorvexLogDump KorvexLogDump
