#!/usr/bin/env bash
# Shows that the working tree converts byte for byte like an earlier revision: builds the
# converter of REV (once, under build-ref/), converts the demo legacy database and a larger
# generated one (--scale N) with that converter and with the current one, and compares every
# file they write. A .dbf header's last-update date (bytes 1-3) is left out of the comparison.
#
#   bash tools/compare_conversion.sh [--scale N] [--keep] [REV]
#
# REV: default the merge-base of HEAD with origin/main (or with main where there is no
# origin). --scale: the size of the second database (default 10; 0 skips it). --keep leaves
# the converted directories in build-ref/compare/. The current converter is built in build/
# (KS_BUILD_DIR names another). Exit 0 when everything is identical, 1 when anything differs
# (the files and offsets are listed), 2 on a usage or build error.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

usage() {
  echo "usage: bash tools/compare_conversion.sh [--scale N] [--keep] [REV]" >&2
  exit 2
}

scale=10
keep=0
rev=""
while [ $# -gt 0 ]; do
  case "$1" in
    --scale) [ $# -ge 2 ] || usage; scale=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) usage ;;
    *) [ -z "$rev" ] || usage; rev=$1; shift ;;
  esac
done
[[ "$scale" =~ ^[0-9]+$ ]] || usage

if [ -z "$rev" ]; then
  if git rev-parse -q --verify origin/main >/dev/null; then
    rev=$(git merge-base HEAD origin/main)
  else
    rev=$(git merge-base HEAD main)
  fi
fi
sha=$(git rev-parse --verify -q "$rev^{commit}") || { echo "compare: unknown revision: $rev" >&2; exit 2; }
short=${sha:0:12}

jobs=${KS_JOBS:-2}
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

# Builds the converter and the generator in a build folder (configured when new).
build_tools() {
  local source=$1 build=$2
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
  fi
  cmake --build "$build" -j"$jobs" --target ksconvert-cli make-legacy-db >/dev/null
}

# The reference: the tree of REV unpacked once under build-ref/ and built beside it.
ref_dir="$root/build-ref/$short"
ref_cli="$ref_dir/build/app/cli/ksconvert-cli"
if [ ! -x "$ref_cli" ]; then
  echo "compare: building the converter of $short in $ref_dir"
  rm -rf "$ref_dir/src"
  mkdir -p "$ref_dir/src"
  git archive "$sha" | tar -x -C "$ref_dir/src"
  build_tools "$ref_dir/src" "$ref_dir/build" || { echo "compare: the build of $short failed" >&2; exit 2; }
fi

build="${KS_BUILD_DIR:-$root/build}"
echo "compare: building the current converter in $build"
build_tools "$root" "$build" || { echo "compare: the current build failed" >&2; exit 2; }
cur_cli="$build/app/cli/ksconvert-cli"
generator="$build/tools/make-legacy-db"

work="$root/build-ref/compare"
rm -rf "$work"
mkdir -p "$work"

# Lists the differing bytes of two files as "offset: a b" lines (at most 10), leaving out a
# .dbf header's last-update date. Prints nothing when they are identical.
differences() {
  local a=$1 b=$2 name=$3 skip='0'
  case "${name,,}" in *.dbf) skip='$1 >= 2 && $1 <= 4' ;; esac  # cmp counts from 1
  if [ "$(stat -c %s "$a")" != "$(stat -c %s "$b")" ]; then
    echo "    sizes differ: $(stat -c %s "$a") (reference) vs $(stat -c %s "$b") (current)"
  fi
  cmp -l "$a" "$b" 2>/dev/null | awk "!($skip) { printf \"    offset %d: %s vs %s (octal)\\n\", \$1 - 1, \$2, \$3 }" | head -10
}

status=0
# Converts one legacy database with both converters and compares what they write.
compare_case() {
  local label=$1 legacy=$2
  local ref_out="$work/$label-reference/" cur_out="$work/$label-current/"
  mkdir -p "$ref_out" "$cur_out"
  if ! "$ref_cli" --legacy "$legacy" --database "$ref_out" --yes >"$work/$label-reference.log" 2>&1; then
    echo "compare: $label: the reference converter failed (see $work/$label-reference.log)" >&2
    status=1
    return
  fi
  if ! "$cur_cli" --legacy "$legacy" --database "$cur_out" --yes >"$work/$label-current.log" 2>&1; then
    echo "compare: $label: the current converter failed (see $work/$label-current.log)" >&2
    status=1
    return
  fi
  local files same=1 name
  files=$( (cd "$ref_out" && ls; cd "$cur_out" && ls) | sort -u)
  local count=0
  for name in $files; do
    count=$((count + 1))
    if [ ! -f "$ref_out/$name" ]; then echo "  $label: $name: only the current converter writes it"; same=0; continue; fi
    if [ ! -f "$cur_out/$name" ]; then echo "  $label: $name: only the reference converter writes it"; same=0; continue; fi
    local diff
    diff=$(differences "$ref_out/$name" "$cur_out/$name" "$name")
    if [ -n "$diff" ]; then
      echo "  $label: $name differs:"
      echo "$diff"
      same=0
    fi
  done
  if [ "$same" = 1 ]; then
    echo "compare: $label: $count files identical"
  else
    status=1
  fi
}

echo "compare: generating the legacy databases in $work"
"$generator" "$work/legacy-demo" >/dev/null
compare_case demo "$work/legacy-demo/"
if [ "$scale" -gt 0 ]; then
  "$generator" "$work/legacy-scale$scale" --scale "$scale" >/dev/null
  compare_case "scale$scale" "$work/legacy-scale$scale/"
fi

if [ "$keep" = 0 ]; then rm -rf "$work"; fi
if [ "$status" = 0 ]; then
  echo "compare: identical to $short"
else
  echo "compare: differences from $short" >&2
fi
exit "$status"
