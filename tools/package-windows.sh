#!/usr/bin/env bash
# Cross-builds the Windows programs (Release, 64-bit, statically linked) into build-windows/
# and writes dist/ksconvert-windows-x64.zip: ksconvert.exe (the window), ksconvert-cli.exe,
# a sample ks.ini (Windows-1251) and README.txt, the operator's note in Russian.
#
#   bash tools/package-windows.sh        (after tools/setup.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/windows-build.sh

windows_build ksconvert ksconvert-cli

stage=dist/ksconvert-windows-x64
rm -rf "$stage" dist/ksconvert-windows-x64.zip
mkdir -p "$stage"
cp build-windows/app/win32/ksconvert.exe build-windows/app/cli/ksconvert-cli.exe "$stage/"
x86_64-w64-mingw32-strip "$stage"/*.exe
# Texts as Windows programs read them: CR LF lines; ks.ini in Windows-1251, the note in
# UTF-8 with a byte-order mark so that Notepad shows the Cyrillic.
iconv -f UTF-8 -t CP1251 tools/windows/ks.ini | sed 's/$/\r/' >"$stage/ks.ini"
{ printf '\xef\xbb\xbf'; sed 's/$/\r/' tools/windows/README.txt; } >"$stage/README.txt"
(cd "$stage" && zip -q -X -j ../ksconvert-windows-x64.zip ksconvert.exe ksconvert-cli.exe ks.ini README.txt)
echo "package-windows: wrote dist/ksconvert-windows-x64.zip"
unzip -l dist/ksconvert-windows-x64.zip
