# Channel buffer service: in-process behaviour, a two-thread stress test and
# multi-process tests with zq-gen and a reader helper program.
krv_add_test(zq_core SOURCES ${CMAKE_CURRENT_LIST_DIR}/zqcoretest.cpp LIBS zq)
