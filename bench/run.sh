#!/usr/bin/env bash
# Benchmark of KorvexLogDump on two synthesized 100 MB logs (made once and cached):
#   bash bench/run.sh            full run: 5 runs of each case, medians
#   bash bench/run.sh --smoke    a quick check that the script works, on a tiny log
# Environment: KORVEX_BENCH_DIR (cache of logs and outputs, default build-bench/data),
#              KORVEX_BENCH_RUNS (runs per case, default 5),
#              KORVEX_BENCH_SEVERAL_ONLY (set: only the runs of several logs and the memory check).
set -euo pipefail
cd "$(dirname "$0")/.."

smoke=0
[ "${1:-}" = "--smoke" ] && smoke=1
build=${KORVEX_BENCH_BUILD:-build-bench}
data=${KORVEX_BENCH_DIR:-$build/data}
runs=${KORVEX_BENCH_RUNS:-5}
suffix=""
if [ $smoke = 1 ]; then runs=1; suffix=-smoke; fi

if [ -z "${KORVEX_BENCH_NO_BUILD:-}" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVEX_TESTS=OFF >/dev/null
  cmake --build "$build" -j2 --target KorvexLogDump korvex-synth korvex-survey-only >/dev/null
fi
tool=$build/KorvexLogDump
synth=$build/korvex-synth
survey=$build/korvex-survey-only
mkdir -p "$data"

# The records a run's closing summary counts: "Read N packets" of the classic tables,
# "4,901 records in 2 flights" of csv, "N new records; ..." of the logbook.
records_of() {
  sed -n -e 's/^Read \([0-9]*\) packets.*/\1/p' \
    -e 's/^\([0-9][0-9,]*\) \(new \)\{0,1\}records\{0,1\}\( in\|;\).*/\1/p' "$1" | tr -d , | head -n 1
}

# name: synthesizer options
declare -A logs
# Downloads of the layout-2 history for several logs in one run: two of 50 MB (after flight 83
# of 163, and after the last), ten of 10 MB (after flights 16, 32, ... 144, and the last).
if [ $smoke = 1 ]; then
  history="--layout 2 --sections all --flights 4 --seed 1"
  logs[layout2-all]="$history --capacity 1000000"
  logs[layout0-none]="--layout 0 --sections none --flights 1 --seed 1"
  half=500000 tenth=100000 halfway=2 tenths="1 1 2 2 2 3 3 3 4 4"
else
  history="--layout 2 --sections all --hours 140 --seed 1"
  logs[layout2-all]="$history --capacity 100000000"
  logs[layout0-none]="--layout 0 --sections none --hours 870 --capacity 100000000 --seed 1"
  half=50000000 tenth=10000000 halfway=83 tenths="16 32 48 64 80 96 112 128 144 163"
fi
logs[half-1]="$history --capacity $half --download-after $halfway"
logs[half-2]="$history --capacity $half"
i=0
for after in $tenths; do
  i=$((i + 1))
  logs[tenth-$i]="$history --capacity $tenth --download-after $after"
done
for name in "${!logs[@]}"; do
  file=$data/$name$suffix.rec
  stamp=$file.options
  if [ ! -f "$file" ] || [ "$(cat "$stamp" 2>/dev/null)" != "${logs[$name]}" ]; then
    echo "synthesizing $file" >&2
    $synth -o "$file" ${logs[$name]} 2>/dev/null
    echo "${logs[$name]}" > "$stamp"
  fi
done

# median of numbers on standard input
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# time_run OUT CMD...: wall seconds (to the microsecond) and peak RSS (KB) of one run, "secs kb"
time_run() {
  local out=$1; shift
  local start end
  start=$(date +%s%N)
  /usr/bin/time -v -o "$data/time.txt" "$@" > "$out" 2> "$data/stderr.txt"
  end=$(date +%s%N)
  awk -v ns=$((end - start)) -F': ' '/Maximum resident set size/ {m=$2}
      END {printf "%.6f %d\n", ns / 1e9, m}' "$data/time.txt"
}

if [ -z "${KORVEX_BENCH_SEVERAL_ONLY:-}" ]; then
echo "median of $runs runs (best in brackets); cat: copying the table to /dev/null; survey: the first pass alone"
printf '%-13s %-6s %-9s %16s %9s %12s %9s %7s %7s %8s\n' log mode stdout "wall s" "in MB/s" "records/s" \
  "out MB/s" "RSS MB" "cat s" "survey s"
for name in layout2-all layout0-none; do
  file=$data/$name$suffix.rec
  size=$(stat -c %s "$file")
  # the survey pass alone, the same number of runs
  survey_s=$(for i in $(seq $runs); do $survey "$file" | awk '{print $2}'; done | median)
  # every format, and the flights table (a row per flight) beside them, the report and the
  # flights table with the sample's profile too (p-html, p-flights), its cruise segments
  # (p-cruise) and its trends (p-trends), and the findings of a profile of twenty limits;
  # records/s counts the log's records throughout
  for mode in tab comma space csv tsv gpx kml html flights p-html p-flights p-cruise p-trends findings; do
    args=("$mode")
    [ "$mode" = flights ] && args=(--flights tab)
    # With the sample's aircraft profile: units, cylinders, limits.
    [ "$mode" = p-html ] && args=(--profile examples/Korvex.profile.toml html)
    [ "$mode" = p-flights ] && args=(--profile examples/Korvex.profile.toml --flights tab)
    [ "$mode" = p-cruise ] && args=(--profile examples/Korvex.profile.toml --cruise tab)
    [ "$mode" = p-trends ] && args=(--profile examples/Korvex.profile.toml --trends csv)
    # Findings of twenty limits, an EGT spread and a CHT cooling, against csv.
    [ "$mode" = findings ] && args=(--profile bench/findings-profile.toml --findings csv)
    table=$data/$name.$mode.out
    $tool "${args[@]}" "$file" > "$table" 2> "$data/stderr.txt"
    records=$(records_of "$data/stderr.txt")
    if [ "$mode" = tab ]; then log_records=$records; else records=${log_records:-$records}; fi
    out_size=$(stat -c %s "$table")
    sync
    cat_s=$(for i in $(seq $runs); do time_run /dev/null cat "$table" | awk '{print $1}'; done | median)
    for target in /dev/null file; do
      sync  # no writeback of earlier output competes with the timed runs
      dest=/dev/null
      [ $target = file ] && dest=$data/$name.$mode.copy
      results=$(for i in $(seq $runs); do time_run "$dest" $tool "${args[@]}" "$file"; done)
      wall=$(echo "$results" | awk '{print $1}' | median)
      best=$(echo "$results" | awk '{print $1}' | sort -g | head -1)
      rss=$(echo "$results" | awk '{print $2}' | sort -g | tail -1)
      if [ $target = file ]; then cmp -s "$table" "$dest" || { echo "output differs between runs" >&2; exit 1; }; fi
      awk -v n="$name" -v m="$mode" -v t="$target" -v w="$wall" -v b="$best" -v s="$size" -v r="$records" \
          -v o="$out_size" -v k="$rss" -v c="$cat_s" -v v="$survey_s" 'BEGIN {
        if (w <= 0) w = 0.0001;
        printf "%-13s %-6s %-9s %7.3f (%6.3f) %9.0f %12.0f %9.0f %7.1f %7.3f %8.3f\n",
               n, m, t, w, b, s/w/1e6, r/w, o/w/1e6, k/1024, c, v }'
    done
    rm -f "$data/$name.$mode.copy"
  done
done

fi

# Several logs in one run: the two halves merged against the 100 MB log in csv (at most 1.2
# times its time), and the peak RSS of one, two and ten logs.
several() {
  local label=$1; shift
  local files=("$@") results wall rss
  results=$(for i in $(seq $runs); do time_run /dev/null $tool csv "${files[@]}"; done)
  wall=$(echo "$results" | awk '{print $1}' | median)
  rss=$(echo "$results" | awk '{print $2}' | sort -g | tail -1)
  $tool csv "${files[@]}" 2> "$data/stderr.txt" | wc -c > "$data/bytes.txt"
  records=$(records_of "$data/stderr.txt")
  printf '%-28s %8.3f s %10d records %8.1f MB out %7.1f MB RSS\n' "$label" "$wall" "$records" \
    "$(awk '{print $1 / 1e6}' "$data/bytes.txt")" "$(awk -v k="$rss" 'BEGIN {print k / 1024}')"
  echo "$wall" > "$data/wall.txt"
}
echo "several logs in one run, csv to /dev/null (median of $runs runs):"
mb() { du -m --apparent-size "$1" | cut -f1; }
several "1 log of $(mb "$data/layout2-all$suffix.rec") MB" "$data/layout2-all$suffix.rec"
one=$(cat "$data/wall.txt")
several "2 logs of $(mb "$data/half-1$suffix.rec") MB, merged" "$data/half-1$suffix.rec" \
  "$data/half-2$suffix.rec"
two=$(cat "$data/wall.txt")
tens=()
for i in $(seq 10); do tens+=("$data/tenth-$i$suffix.rec"); done
several "10 logs of $(mb "${tens[0]}") MB, merged" "${tens[@]}"
awk -v a="$one" -v b="$two" 'BEGIN {
  printf "the 2 logs take %.2f times the time of the 1 (at most 1.2)\n", b / a }'

# The logbook: the 100 MB log into a new database, then the same log again (every record already
# there), records a second; and the peak RSS of a new logbook of the first 600 KB and of the whole
# log (the database's page cache is bounded).
logbook() {
  local label=$1 fresh=$2 db=$data/logbook.db results wall rss
  results=$(for i in $(seq $runs); do
    if [ "$fresh" = 1 ]; then rm -f "$db"; fi
    time_run /dev/null $tool -q sqlite -o "$db" "$data/layout2-all$suffix.rec"
  done)
  wall=$(echo "$results" | awk '{print $1}' | median)
  rss=$(echo "$results" | awk '{print $2}' | sort -g | tail -1)
  awk -v l="$label" -v w="$wall" -v r="$logbook_records" -v k="$rss" -v s="$(stat -c %s "$db")" 'BEGIN {
    if (w <= 0) w = 0.0001;
    printf "%-34s %8.3f s %9.0f records/s %7.1f MB RSS %8.1f MB database\n", l, w, r / w, k / 1024, s / 1e6 }'
}
echo "the logbook, sqlite of the $(mb "$data/layout2-all$suffix.rec") MB log (median of $runs runs):"
rm -f "$data/logbook.db"
$tool sqlite -o "$data/logbook.db" "$data/layout2-all$suffix.rec" 2> "$data/stderr.txt"
logbook_records=$(records_of "$data/stderr.txt")
logbook "into a new database" 1
logbook "again (adds 0 records)" 0
head -c 600000 "$data/layout2-all$suffix.rec" > "$data/filled.rec"
rm -f "$data/logbook.db"
filled_kb=$(time_run /dev/null $tool -q sqlite -o "$data/logbook.db" "$data/filled.rec" | awk '{print $2}')
rm -f "$data/logbook.db"
large_kb=$(time_run /dev/null $tool -q sqlite -o "$data/logbook.db" "$data/layout2-all$suffix.rec" | awk '{print $2}')
echo "logbook peak RSS: 600 KB log ${filled_kb} KB, whole log ${large_kb} KB"
rm -f "$data/logbook.db"

# Memory does not grow with the log: peak RSS on a 1 KB log, on the first 600 KB (enough to fill
# the read and the output buffer) and on the whole log; the last two must differ by less than
# 1 MB.
small=$data/small.rec
filled=$data/filled.rec
head -c 1024 "$data/layout2-all$suffix.rec" > "$small"
head -c 600000 "$data/layout2-all$suffix.rec" > "$filled"
small_kb=$(time_run /dev/null $tool tab "$small" | awk '{print $2}')
filled_kb=$(time_run /dev/null $tool tab "$filled" | awk '{print $2}')
large_kb=$(time_run /dev/null $tool tab "$data/layout2-all$suffix.rec" | awk '{print $2}')
echo "peak RSS: 1 KB log ${small_kb} KB, 600 KB log ${filled_kb} KB, $(du -h "$data/layout2-all$suffix.rec" | cut -f1) log ${large_kb} KB, difference $((large_kb - filled_kb)) KB"
if [ $((large_kb - filled_kb)) -ge 1024 ]; then
  echo "memory check failed: peak RSS grows with the log" >&2
  exit 1
fi
