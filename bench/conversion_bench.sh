#!/usr/bin/env bash
# The whole conversion at 1x, 2x and 4x the benchmark archive (1x: 200,000 documents,
# 1,000,000 goods lines, 40,000 payment orders, 10,000 goods, 4,000 firms, 4,000 people),
# end to end through ksconvert-cli, next to the floor measured in the same run: reading the
# legacy files' bytes from the page cache and writing the output's bytes plainly.
#
#   cmake --build build -j2 --target ksconvert-cli make-legacy-db conversion_floor
#   bash bench/conversion_bench.sh [CACHE_DIR=/tmp/ks-conversion-bench] [BUILD_DIR=build]
#
# Environment: SCALES ("1 2 4 8"), RUNS (conversions per scale, the fastest is reported; 1),
# FLOOR_RUNS (3, the fastest is reported), KEEP=1 keeps the converted databases, CLI_ARGS
# more options for ksconvert-cli (CLI_ARGS=--no-verify leaves out the read-back check),
# REF_CLI=path/to/ksconvert-cli converts every archive with that converter as well (without
# CLI_ARGS), in turn with this one, and adds its rows (marked "ref") to the table.
# The archives are generated once and cached (46 s and 400 MB at 1x; 4x takes 1.6 GB, 8x
# 3.2 GB).
# The machine is shared: besides wall time the table shows the processor time of the
# conversion (user + system), per record in microseconds, and against the floor's,
# which says more on a loaded machine than the wall time.
#
# Figures of 8 December 2026 (2 shared cores, other builds running; RelWithDebInfo),
# after the speed-ups of that day:
#   scale  records  in MiB  wall s  cpu s  records/s  peak MiB  out MiB  floor s  wall x
#   1x     1258046   402.5    3.18   3.15     395612       201      574     0.17    18.2
#   2x     2516046   805.2    7.06   6.87     356380       399      1148     0.36    19.7
#   4x     5032046  1587.1   19.97  18.88     251980       753      2296     0.25    80.2
# The floor swings between 0.2 s and several seconds from run to run (the fastest of
# three is shown), and the conversion's time by 15% or more. Peak memory was almost all
# index: the key lists of the tags and the index file image built when a table closed.
#
# Since then the run flushes every table and memo file it wrote, and the directory, to the
# disk before its success line, and ksconvert-cli reads the new database back afterwards.
# At 1x on 8 December 2026 (load average 12 to 14 on the 2 cores, so wall times swing):
#   flush: 17 fsync calls, 0.23 to 0.33 s in all (strace -f -T -e trace=fsync)
#   read-back check: 0.23 to 0.34 s of processor time, 0.65 to 2.4 s wall (getrusage and a
#     clock around the check, three runs), against 4.4 to 4.7 s of processor time for the
#     whole run: 5 to 7%
#   SCALES=1 RUNS=3 FLOOR_RUNS=1 bash bench/conversion_bench.sh, twice, with and without
#   CLI_ARGS=--no-verify: cpu s 4.83 / 4.57 with the check, 4.55 / 4.45 without.
#
# After the index keys went to sorted runs (peak memory no longer grows with the archive)
# and the key-building speed-ups, side by side with the converter of 1e225bc in one run
# (SCALES="1 4 8" RUNS=1 FLOOR_RUNS=1 REF_CLI=.../ksconvert-cli; this converter also
# flushes to the disk and reads its tables back, which that one did not):
#   scale      records    in MiB   wall s    cpu s   records/s cpu us/rec peak MiB
#   1x ref     1258046     402.5    11.87     3.94      105985      3.13      200
#   1x         1258046     402.5    11.42     3.71      110162      2.95      119
#   4x ref     5032046    1587.1    33.61    16.45      149719      3.27      752
#   4x         5032046    1587.1    21.91    15.00      229669      2.98      155
#   8x ref    10064046    3140.1    55.13    36.04      182551      3.58     1504
#   8x        10064046    3140.1    53.60    34.16      187762      3.39      199
# What still grows at 8x is the kernel's copy of the written bytes into the page cache
# (copy_folio_from_iter_atomic: 4% of the cycles at 1x, 17% at 8x in perf record).
#
# After the memo windows, the index runs sorted on a thread of their own, the write-back
# every 4 MiB and the read-back check in two parts at once, side by side with the converter
# of 57e8472 on 9 December 2026 (load average 7 to 9 on the 2 cores from other builds):
#   scale      records    in MiB   wall s    cpu s   records/s cpu us/rec peak MiB
#   1x ref     1258046     402.5     8.80     6.07      142960      4.82      119
#   1x         1258046     402.5     6.71     4.65      187488      3.70      137
#   4x ref     5032046    1587.1    33.68    24.43      149408      4.85      155
#   4x         5032046    1587.1    19.34    18.22      260189      3.62      172
# The main thread then carries 86% of the samples at 1x; its largest items are the kernel's
# copy of written bytes (19%), memmove (8%) and the copy of read bytes (6%).
#
# Tried on 9 December 2026 and taken out again (commits 08c0268 to 8a946ec): the index
# entries of appended records made on a worker thread, a batch at a time; the .dbf's
# appended records written behind on another while the next piece gathers; the legacy
# reader's next window read ahead on a third; a fixed 1 MiB mmap threshold against the
# memory the workers' arenas kept. The main thread's share of the samples fell from 82% to
# 69%, but its own processor time did not fall, and neither did the wall time. Interleaved,
# six pairs at 1x on a quiet machine (wall s / cpu s): without 3.76-3.87 / 4.1-4.2, with
# 4.02-4.28 / 5.1-5.3. Each piece alone added 0.2-0.3 s of processor time (the mmap
# threshold 0.3 s and 0.3 s more at closing), the goods stage took 1.6 s either way, and
# at 4x the wall time was the same within the noise (16.5-17.9 s against 16.2-18.6 s) for
# 13-27% more processor time and 35 MiB more memory. The profile's largest item was then
# pvm_irq_enable (page faults, system calls and the interrupts between the two virtual
# processors): on this machine the hand-overs, the fresh memory and the second thread's
# interrupts cost what the main thread saved.
#
# After three changes that cut wall time without adding processor time (the read-back check
# and the control totals read the new files while a thread of its own waits for the flush
# to the disk; a legacy table opened again in one run takes the block chain the probe
# walked; 16 MiB of index keys per index before a sorted run goes to its file, instead of
# 64), on 9 December 2026, load average about 1 (SCALES="1 4 8" RUNS=3 FLOOR_RUNS=1
# REF_CLI=<57e8472's converter>):
#   scale      records    in MiB   wall s    cpu s   records/s cpu us/rec peak MiB
#   1x ref     1258046     402.5     5.43     5.00      231684      3.97      119
#   1x         1258046     402.5     3.35     3.90      375536      3.10       64
#   4x ref     5032046    1587.1    20.78    19.25      242158      3.83      155
#   4x         5032046    1587.1    12.90    15.14      390081      3.01       91
#   8x ref    10064046    3140.1    45.99    43.69      218831      4.34      199
#   8x        10064046    3140.1    29.70    34.42      338857      3.42      122
# Wall time against 57e8472: 0.62, 0.62 and 0.65; per record 2.66, 2.56 and 2.95 us. Each
# change alone, five interleaved 1x pairs: the checks beside the flush 3.9 -> 3.6 s (the
# first fsync waits 0.25-0.37 s for the disk however long the run paused before it), the
# kept chains 3.9 -> 3.65 s, the smaller key buffers 3.5 -> 3.3 s with 4.1 -> 3.9 s of
# processor time (fewer fresh pages to fault in, and runs that stay in the caches; 8 and
# 32 MiB were slower, 4 MiB slower still). At 8x the kernel's copy of the written bytes
# into fresh page-cache pages takes 13% of the cycles against 3.6% at 1x: per record, 8x
# stays about 11% above 1x.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cache=${1:-/tmp/ks-conversion-bench}
build=${2:-$here/build}
scales=${SCALES:-1 2 4 8}
ref_cli=${REF_CLI:-}
runs=${RUNS:-1}
floor_runs=${FLOOR_RUNS:-3}
read -r -a cli_args <<< "${CLI_ARGS:-}"

cli=$build/app/cli/ksconvert-cli
generator=$build/tools/make-legacy-db
floor=$build/bench/conversion_floor
for tool in "$cli" "$generator" "$floor"; do
  [[ -x $tool ]] || { echo "missing $tool: build ksconvert-cli make-legacy-db conversion_floor" >&2; exit 2; }
done
[[ -x /usr/bin/time ]] || { echo "missing /usr/bin/time (package time)" >&2; exit 2; }
mkdir -p "$cache"

# The smaller of two decimal numbers.
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a + 0 < b + 0) ? a : b }'; }

rows=()
for scale in $scales; do
  legacy=$cache/legacy-${scale}x
  if [[ ! -d $legacy ]]; then
    echo "generating the ${scale}x archive in $legacy ..." >&2
    rm -rf "$legacy.tmp"
    "$generator" "$legacy.tmp" --scale $((400 * scale)) >&2
    mv "$legacy.tmp" "$legacy"
  fi
  cat "$legacy"/* > /dev/null  # into the page cache, as the floor reads it

  # One conversion: its fastest wall and processor time, peak memory and output size.
  convert() {  # converter label [options]
    local converter=$1 label=$2 out=$cache/out-${scale}x-$2
    best_wall="" best_cpu="" peak_kb=0
    for ((run = 0; run < runs; ++run)); do
      rm -rf "$out"
      sync
      if ! /usr/bin/time -f "%e %U %S %M" -o "$cache/time.txt" \
          "$converter" --legacy "$legacy" --database "$out" --yes "${@:3}" > "$cache/log-${scale}x-$label.txt" 2>&1; then
        echo "conversion of the ${scale}x archive ($label) failed:" >&2
        tail -5 "$cache/log-${scale}x-$label.txt" >&2
        exit 1
      fi
      read -r wall user sys kb < <(tail -1 "$cache/time.txt")
      best_wall=$(min "$wall" "$best_wall")
      best_cpu=$(min "$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')" "$best_cpu")
      (( kb > peak_kb )) && peak_kb=$kb
    done
    grep -q "Преобразование данных успешно завершено" "$cache/log-${scale}x-$label.txt" ||
      { echo "the ${scale}x log ($label) lacks its success line" >&2; exit 1; }
    if find "$out" -name '*.tmp' | grep -q .; then
      echo "the ${scale}x conversion ($label) left temporary files behind" >&2
      exit 1
    fi
    output_bytes=$(find "$out" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
    [[ ${KEEP:-0} == 1 ]] || rm -rf "$out"
    sync
  }
  labels=(new)
  [[ -n $ref_cli ]] && labels=(ref new)
  declare -A wall_of cpu_of peak_of
  for label in "${labels[@]}"; do
    if [[ $label == ref ]]; then convert "$ref_cli" ref; else convert "$cli" new "${cli_args[@]}"; fi
    wall_of[$label]=$best_wall cpu_of[$label]=$best_cpu peak_of[$label]=$peak_kb
  done

  best_floor="" best_floor_cpu=""
  for ((run = 0; run < floor_runs; ++run)); do
    line=$("$floor" "$legacy" "$output_bytes" "$cache")
    eval "$line"  # legacy_bytes= legacy_records= read_s= write_s= floor_s= floor_cpu_s=
    best_floor=$(min "$floor_s" "$best_floor")
    best_floor_cpu=$(min "$floor_cpu_s" "$best_floor_cpu")
  done

  for label in "${labels[@]}"; do
    name="${scale}x"
    [[ $label == ref ]] && name="${scale}x ref"
    rows+=("$(awk -v s="$name" -v w="${wall_of[$label]}" -v c="${cpu_of[$label]}" -v kb="${peak_of[$label]}" \
        -v ob="$output_bytes" -v lb="$legacy_bytes" -v r="$legacy_records" -v f="$best_floor" -v fc="$best_floor_cpu" 'BEGIN {
      printf "%-8s %9d %9.1f %8.2f %8.2f %11.0f %9.2f %8.0f %9.0f %8.2f %8.2f %7.1f %7.1f",
        s, r, lb / 1048576, w, c, r / w, c * 1e6 / r, kb / 1024, ob / 1048576, f, fc, w / f, c / (fc > 0 ? fc : 1e-9)
    }')")
  done
done

echo
echo "conversion: $cli --legacy DIR --database DIR --yes ${CLI_ARGS:-}  (fastest of $runs; floor fastest of $floor_runs)"
[[ -n $ref_cli ]] && echo "reference:  $ref_cli, run in turn with it"
printf "%-8s %9s %9s %8s %8s %11s %9s %8s %9s %8s %8s %7s %7s\n" scale records "in MiB" "wall s" "cpu s" \
  "records/s" "cpu us/rec" "peak MiB" "out MiB" "floor s" "fl cpu" "wall x" "cpu x"
printf '%s\n' "${rows[@]}"
