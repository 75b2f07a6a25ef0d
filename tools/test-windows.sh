#!/usr/bin/env bash
# The Windows part of the test command: cross-builds the Windows programs and the test
# programs that run there (build-windows/), then under Wine (headless, WINEDEBUG=-all, a
# private prefix in build-windows/wineprefix):
#   - the unit tests of the platform layer, XML, metadata, dBASE engine (record locks between
#     two processes over LockFileEx), Paradox reader (on ../shared/testdata/paradox) and
#     command line, and the fault sweep of a run (a file operation failing at sampled
#     positions, over a small legacy database of the Linux generator);
#   - ksconvert-cli.exe converts a generated legacy database, reading ks.ini beside itself
#     from a directory with a Cyrillic name; its files must equal those of the Linux build
#     byte for byte (the date in each .dbf header aside) and read with python3-dbfread;
#   - bad paths (invalid, missing drive, too long) end with exit code 1 and a Russian
#     message naming the path;
#   - the window program on a virtual display (Xvfb) converts on Enter.
# Expects the Linux build in build/ (tools/setup.sh), whose converter and legacy-database
# generator give the reference.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. tools/windows-build.sh

started=$SECONDS
windows_build ksconvert ksconvert-cli ks_windows_tests
echo "windows: cross build $((SECONDS - started)) s"

export WINEDEBUG=-all
export WINEPREFIX="$root/build-windows/wineprefix"
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer on the first start
step=$SECONDS
wineboot -i >/dev/null 2>&1 || true
echo "windows: wine prefix $((SECONDS - step)) s"

winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }
# The fault sweep converts a small legacy database of the Linux generator, failing one file
# operation per run (every seventh position under Wine).
sweep_legacy="$root/build-windows/sweep-legacy/"
rm -rf "$sweep_legacy" && mkdir -p "$sweep_legacy"
"$root/build/tools/make-legacy-db" "$sweep_legacy" --documents 3 --lines 6 --payments 2 --goods 4 --firms 2 \
  --people 2 >/dev/null
export KS_SWEEP_LEGACY
KS_SWEEP_LEGACY=$(winpath "$sweep_legacy")

step=$SECONDS
(cd build-windows && ctest --output-on-failure -j"$(nproc)" --timeout 300 -LE display)
echo "windows: unit tests under wine $((SECONDS - step)) s"

# --- end to end
work="$root/build-windows/e2e"
rm -rf "$work" && mkdir -p "$work"
legacy="$work/legacy/"
"$root/build/tools/make-legacy-db" "$legacy" --scale 1 >/dev/null
"$root/build/app/cli/ksconvert-cli" --legacy "$legacy" --database "$work/linux/" --yes >"$work/linux.log" 2>"$work/linux.err"

# The program in a directory with a Cyrillic name, ks.ini beside it in Windows-1251.
program="$work/Конвертер"
mkdir -p "$program"
cp build-windows/app/cli/ksconvert-cli.exe "$program/"
printf '[ALIASES]\r\nVeltroData=%s\r\n[PATH]\r\nDATABASE=%s\r\n' "$(winpath "$legacy")" \
  "$(winpath "$work/База/")" | iconv -f UTF-8 -t CP1251 >"$program/ks.ini"
step=$SECONDS
if ! wine "$program/ksconvert-cli.exe" --yes >"$work/windows.log" 2>"$work/windows.err"; then
  cat "$work/windows.err"
  echo "windows: ksconvert-cli.exe failed" >&2
  exit 1
fi
echo "windows: ksconvert-cli.exe conversion $((SECONDS - step)) s"
# The same log lines as on Linux (line ends aside; the index files are deleted in the order
# the file system lists them).
if ! diff <(tr -d '\r' <"$work/windows.log" | sort) <(sort "$work/linux.log") >"$work/log.diff"; then
  head -20 "$work/log.diff"
  echo "windows: the log differs from the Linux build's" >&2
  exit 1
fi
/usr/bin/python3 tools/compare_tables.py "$work/База" "$work/linux"

# Bad paths: exit code 1 and a message naming the path, no crash.
bad_path() {
  local label=$1 database=$2 expect=$3 rc=0
  wine build-windows/app/cli/ksconvert-cli.exe --legacy "$(winpath "$legacy")" --database "$database" --yes \
    >/dev/null 2>"$work/bad.err" || rc=$?
  if [ "$rc" -ne 1 ] || ! grep -qF -- "${database%\\}" "$work/bad.err" || ! grep -qF -- "$expect" "$work/bad.err"; then
    echo "windows: $label: exit code $rc, message:" >&2
    cat "$work/bad.err" >&2
    exit 1
  fi
}
bad_path "invalid path" 'C:\ks\a|b\' "недопустимое имя"
bad_path "missing drive" 'Q:\ks\db\' "такого диска нет"
bad_path "too long a name" "C:\\ks\\$(printf 'x%.0s' $(seq 1 300))\\" "длиннее, чем допускает система"
echo "windows: bad paths give their messages"

# The window on a virtual display. Wine's desktop lives as long as its server and keeps the
# display it was started with: each display session starts with a server of its own.
step=$SECONDS
wineserver -k 2>/dev/null || true
(cd build-windows && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure --timeout 300 -L display)
wineserver -k 2>/dev/null || true
bash app/win32/window_wine_test.sh build-windows/app/win32/ksconvert.exe "$legacy" "$work/linux" "$work/window"
wineserver -k 2>/dev/null || true
echo "windows: window tests $((SECONDS - step)) s"
echo "windows: all passed in $((SECONDS - started)) s"
