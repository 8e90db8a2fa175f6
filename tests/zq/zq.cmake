# Channel buffer service: in-process behaviour, a two-thread stress test and
# multi-process tests with zq-gen and a reader helper program.
krv_add_test(zq_core SOURCES ${CMAKE_CURRENT_LIST_DIR}/zqcoretest.cpp LIBS zq)
krv_add_test(zq_stress SOURCES ${CMAKE_CURRENT_LIST_DIR}/zqstresstest.cpp LIBS zq Threads::Threads)

add_executable(zq_test_reader ${CMAKE_CURRENT_LIST_DIR}/zqtestreader.cpp)
target_link_libraries(zq_test_reader PRIVATE zq)
krv_add_test(zq_process SOURCES ${CMAKE_CURRENT_LIST_DIR}/zqprocesstest.cpp LIBS zq)
add_dependencies(zq_process zq_test_reader zq-gen zq-stat)
