qv_fuzz(fuzz_rule_set SOURCES ${CMAKE_CURRENT_LIST_DIR}/verifiers_rule_set.cpp LIBS qv_verifiers)
