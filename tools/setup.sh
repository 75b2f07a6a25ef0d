#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on Debian 12, then configures and
# builds the project in ./build. Safe to run again: it installs only what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev
  qt6-base-dev
  clang-14 libclang-rt-14-dev
  pxlib-dev
  python3 python3-dbfread python3-dbf
  libdbd-xbase-perl
  xvfb xauth
  chromium poppler-utils
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest wine wine64 xdotool zip unzip
  locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build_type=${BUILD_TYPE:-RelWithDebInfo}
cmake -S . -B build -DCMAKE_BUILD_TYPE="$build_type" ${CMAKE_EXTRA_ARGS:-} >/dev/null
cmake --build build -j"$(nproc)"
