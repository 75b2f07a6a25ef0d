# The table set benchmark (see dataset_bench.cpp for the command).
if(TARGET ks_xbase)
  add_executable(dataset_bench ${CMAKE_CURRENT_LIST_DIR}/dataset_bench.cpp)
  target_link_libraries(dataset_bench PRIVATE ks_dbengine ks_xbase)
endif()
