# Turns a file into a C++ source holding its bytes, so the program needs no file at run time.
#   cmake -DINPUT=<file> -DOUTPUT=<.cpp> -DHEADER=<include> -DFUNCTION=<name> -P embed_file.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
# Twenty bytes to a line keeps the generated file readable.
set(bytes "")
set(offset 0)
while(offset LESS hex_length)
  string(SUBSTRING "${hex}" ${offset} 40 chunk)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," chunk "${chunk}")
  string(APPEND bytes "${chunk}\n    ")
  math(EXPR offset "${offset} + 40")
endwhile()
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT} at build time; do not edit.
#include \"${HEADER}\"

namespace ks {
namespace {

constexpr unsigned char kBytes[] = {
    ${bytes}0x00};

}  // namespace

std::string_view ${FUNCTION}() {
  return {reinterpret_cast<const char*>(kBytes), sizeof(kBytes) - 1};
}

}  // namespace ks
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
