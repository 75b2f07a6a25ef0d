# The legacy table reading benchmark; it writes its table with pxlib.
if(TARGET ks_legacy_pxfixture)
  add_executable(legacy_bench ${CMAKE_CURRENT_LIST_DIR}/legacy_bench.cpp)
  target_link_libraries(legacy_bench PRIVATE ks_legacy PkgConfig::PXLIB)
endif()
