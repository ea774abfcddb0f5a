qv_fuzz(fuzz_judge_reply SOURCES ${CMAKE_CURRENT_LIST_DIR}/judge_reply.cpp LIBS qv_engine)
