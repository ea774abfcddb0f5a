qv_bench(bench_documents SOURCES ${CMAKE_CURRENT_LIST_DIR}/documents.cpp LIBS qv_records qv_crypto)
