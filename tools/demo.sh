#!/usr/bin/env bash
# The main job on the bundled demo: generates the demo legacy database into demo/legacy/
# (once; delete the folder to make it anew), writes demo/ks.ini naming it and the target
# directory demo/database/, and runs the converter on it. Expects the build in build/,
# made by tools/setup.sh (KS_BUILD_DIR names another).
#
#   bash tools/demo.sh [--scale N]     N multiplies the size of a newly generated database
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scale=1
if [ $# -gt 0 ]; then
  if [ "$1" = "--scale" ] && [ $# -eq 2 ]; then
    scale=$2
  else
    echo "usage: bash tools/demo.sh [--scale N]" >&2
    exit 2
  fi
fi

build="${KS_BUILD_DIR:-$root/build}"  # another build folder for trying things out
generator="$build/tools/make-legacy-db"
converter="$build/app/cli/ksconvert-cli"
legacy="$root/demo/legacy/"
database="$root/demo/database/"
ini="$root/demo/ks.ini"

if [ ! -f "$legacy/Document.DB" ]; then
  if [ ! -x "$generator" ]; then
    echo "demo: $generator is missing; run: bash tools/setup.sh" >&2
    exit 1
  fi
  # Generate beside the final folder and move it in place, so that an interrupted run never
  # leaves a half-written database that the next run would take for a whole one.
  rm -rf "$root/demo/legacy.new"
  "$generator" "$root/demo/legacy.new" --scale "$scale"
  rm -rf "$legacy"
  mv "$root/demo/legacy.new" "$legacy"
else
  echo "demo: using the legacy database already in $legacy"
fi

mkdir -p "$database"
cat >"$ini" <<EOF
[ALIASES]
VeltroData=$legacy

[PATH]
DATABASE=$database
EOF
echo "demo: wrote $ini"

if [ ! -x "$converter" ]; then
  echo "demo: the converter is not built yet ($converter is missing); the legacy database is ready in $legacy"
  exit 0
fi
"$converter" --config "$ini" --yes
echo "demo: converted into $database"
