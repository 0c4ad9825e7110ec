# bash completion for KorvexLogDump: options and their values, then the format word, then the
# log file.
_KorvexLogDump() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local options="--flights --flight --from --to --gap --columns -o --output --split -f --force --merge-instruments --utc-offset --describe --findings --cruise --trends --calibrated --profile --no-profile --profile-template -q --quiet -h --help -V --version --"
  local with_value=" --flight --from --to --gap --columns -o --output --split --utc-offset --profile "
  local formats="tab comma space csv tsv gpx kml html sqlite"
  # The column names (as the csv header gives them) and classic labels --columns takes, and the
  # blocks; the install test checks them against --describe.
  local blocks="base telm1 telm2 attitude gps"
  local columns="alt baro ASI TAS VSI g_s rotor m_v b_v amps AOA OAT telm1_RPM telm1_rfl1 telm1_rfl2
telm1_ch1 telm1_ch2 telm1_flow telm1_MAP telm1_fl1 telm1_fl2 telm1_flc telm1_o_t telm1_oil_p
telm1_carb telm1_f_p telm1_h2o telm1_tc1 telm1_tc2 telm1_tc3 telm1_tc4 telm1_tc5 telm1_tc6
telm1_tc7 telm1_tc8 telm1_tc9 telm1_tc10 telm1_tc11 telm1_tc12 telm1_rch1 telm1_rch2 telm1_rot
telm1_rop telm1_ref telm1_fail telm2_RPM telm2_rfl1 telm2_rfl2 telm2_ch1 telm2_ch2 telm2_flow
telm2_MAP telm2_fl1 telm2_fl2 telm2_flc telm2_o_t telm2_oil_p telm2_carb telm2_f_p telm2_h2o
telm2_tc1 telm2_tc2 telm2_tc3 telm2_tc4 telm2_tc5 telm2_tc6 telm2_tc7 telm2_tc8 telm2_tc9
telm2_tc10 telm2_tc11 telm2_tc12 telm2_rch1 telm2_rch2 telm2_rot telm2_rop telm2_ref telm2_fail
bank ptch slip att_hdg yaw G turn lat long gps_hdg gs g_alt status sats hac vac"
  local labels="AOA ASI G MAP OAT RPM TAS VSI alt amps b-v bank baro carb ch1 ch2 f-p fail fl1 fl2 flc flow
g-alt g-s gs h2o hac hdg lat long m-v o-t oil-p ptch rch1 rch2 ref rfl1 rfl2 rop rot rotor sats
slip status tc1 tc10 tc11 tc12 tc2 tc3 tc4 tc5 tc6 tc7 tc8 tc9 turn vac yaw"
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
        # After a comma, the list so far stays and the word after it is completed.
        local listed="" last=$cur
        if [[ $cur == *,* ]]; then
          listed=${cur%,*},
          last=${cur##*,}
        fi
        mapfile -t COMPREPLY < <(compgen -P "$listed" -W "$blocks $columns $labels" -- "$last")
        compopt -o nospace 2>/dev/null
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
