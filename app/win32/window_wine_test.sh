#!/usr/bin/env bash
# The window program under Wine on a virtual display: it starts, Enter runs the conversion
# of a legacy database, Esc closes it, the report page beside the program shows the run
# completed and its check clean, and the tables it wrote equal those that the Linux build
# wrote from the same legacy database (the date of last update in each .dbf header aside).
#
#   window_wine_test.sh EXE LEGACY_DIR REFERENCE_DIR WORK_DIR
#
# WINEPREFIX names the Wine prefix to use (default: WORK_DIR/wineprefix); it is made on
# first use. Needs wine, Xvfb (xvfb-run) and xdotool.
set -euo pipefail
if [ $# -ne 4 ]; then
  echo "usage: $0 EXE LEGACY_DIR REFERENCE_DIR WORK_DIR" >&2
  exit 2
fi
exe=$(realpath "$1")
legacy=$(realpath "$2")
reference=$(realpath "$3")
work=$(realpath -m "$4")

export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$work/wineprefix}
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer on the first start

rm -rf "$work/program" "$work/database"
mkdir -p "$work/program"
cp "$exe" "$work/program/ksconvert.exe"
# ks.ini is Windows-1251 text with Windows paths; Wine shows the root as drive Z:.
windows_path() { printf 'Z:%s\\' "$(printf '%s' "$1" | tr '/' '\\')"; }
printf '[PATH]\r\nDATABASE=%s\r\n[ALIASES]\r\nVeltroData=%s\r\n' \
  "$(windows_path "$work/database")" "$(windows_path "$legacy")" >"$work/program/ks.ini"

# Everything on the virtual display happens in one shell under xvfb-run.
xvfb-run -a -s "-screen 0 1024x768x24" bash -s "$work" <<'DISPLAY_SESSION'
set -euo pipefail
work=$1
cd "$work/program"
wineboot -i >/dev/null 2>&1 || true
wine ksconvert.exe >"$work/wine.log" 2>&1 &
program=$!
title="Преобразование данных"
window=""
for _ in $(seq 1 120); do
  window=$(xdotool search --name "$title" 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  sleep 0.5
done
if [ -z "$window" ]; then
  echo "window test: the window did not appear" >&2
  kill "$program" 2>/dev/null || true
  exit 1
fi
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
sleep 1
# The run works synchronously inside the handler of Enter; Esc waits in the queue until it
# has returned and then closes the window.
xdotool key Return
sleep 1
xdotool key Escape
for _ in $(seq 1 600); do
  kill -0 "$program" 2>/dev/null || break
  sleep 1
done
if kill -0 "$program" 2>/dev/null; then
  echo "window test: the program did not end after Esc (an error box?)" >&2
  kill "$program" 2>/dev/null || true
  wineserver -k || true
  exit 1
fi
wait "$program"
DISPLAY_SESSION

# The run checked the new database and left its page beside the program.
pages=("$work"/program/ksconvert-report-*.html)
if [ ! -f "${pages[0]}" ]; then
  echo "window test: no report page beside the program" >&2
  exit 1
fi
if ! grep -q "Преобразование данных успешно завершено" "${pages[0]}" || ! grep -q "расхождений нет" "${pages[0]}"; then
  echo "window test: the report page ${pages[0]} shows no completed, checked run" >&2
  exit 1
fi

python3 - "$work/database" "$reference" <<'COMPARE'
import os, sys
written, reference = sys.argv[1], sys.argv[2]
if not os.path.isdir(written):
    sys.exit("window test: the run wrote no database directory")
def tables(d):
    return sorted(f for f in os.listdir(d) if f.lower().endswith(('.dbf', '.fpt', '.cdx')))
mine, theirs = tables(written), tables(reference)
if [f.lower() for f in mine] != [f.lower() for f in theirs]:
    sys.exit(f"window test: files {mine} differ from the Linux build's {theirs}")
if not mine:
    sys.exit("window test: the run wrote no tables")
for a, b in zip(mine, theirs):
    x = open(os.path.join(written, a), 'rb').read()
    y = open(os.path.join(reference, b), 'rb').read()
    if a.lower().endswith('.dbf') and len(x) > 4 and len(y) > 4:
        x, y = x[:1] + x[4:], y[:1] + y[4:]  # the date of last update
    if x != y:
        sys.exit(f"window test: {a} differs from the Linux build's {b}")
print(f"window test: {len(mine)} files equal to the Linux build's")
COMPARE
