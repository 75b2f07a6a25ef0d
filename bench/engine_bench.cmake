# The dBASE engine benchmark (see engine_bench.cpp for the command).
add_executable(engine_bench ${CMAKE_CURRENT_LIST_DIR}/engine_bench.cpp)
target_link_libraries(engine_bench PRIVATE ks_xbase)
