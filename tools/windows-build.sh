# Sourced by the Windows scripts: configures the cross build in build-windows/ (Release,
# static, mingw-w64) and builds the targets named in "$@".
windows_build() {
  local launcher=()
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
  cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
  if ! cmake --build build-windows -j"$(nproc)" --target "$@" >build-windows/build.log 2>&1; then
    tail -60 build-windows/build.log
    echo "Windows build failed (whole log in build-windows/build.log)" >&2
    return 1
  fi
}
