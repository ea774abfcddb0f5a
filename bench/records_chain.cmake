qv_bench(bench_records_chain SOURCES ${CMAKE_CURRENT_LIST_DIR}/records_chain.cpp LIBS qv_records qv_crypto PkgConfig::SODIUM)
