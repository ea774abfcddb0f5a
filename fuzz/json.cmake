qv_fuzz(fuzz_json_roundtrip SOURCES ${CMAKE_CURRENT_LIST_DIR}/json_roundtrip.cpp LIBS qv_json)
qv_fuzz(fuzz_json_typed SOURCES ${CMAKE_CURRENT_LIST_DIR}/json_typed.cpp LIBS qv_json)
