# The floor of the whole-conversion benchmark (see conversion_bench.sh for the command).
add_executable(conversion_floor ${CMAKE_CURRENT_LIST_DIR}/conversion_floor.cpp)
