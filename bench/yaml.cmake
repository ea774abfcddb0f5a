qv_bench(bench_yaml SOURCES ${CMAKE_CURRENT_LIST_DIR}/yaml.cpp LIBS qv_yaml PkgConfig::YAML)
