qv_fuzz(fuzz_verifiers_numeric SOURCES ${CMAKE_CURRENT_LIST_DIR}/verifiers_numeric.cpp LIBS qv_verifiers)
