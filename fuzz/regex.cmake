qv_fuzz(fuzz_regex_parse SOURCES ${CMAKE_CURRENT_LIST_DIR}/regex_parse.cpp LIBS qv_regex)
qv_fuzz(fuzz_regex_match SOURCES ${CMAKE_CURRENT_LIST_DIR}/regex_match.cpp LIBS qv_regex)
