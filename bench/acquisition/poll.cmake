# The module poll path: recorder module -> channel buffer service -> recording.
add_executable(bench_acquisition_poll ${CMAKE_CURRENT_LIST_DIR}/modulepoll.cpp)
target_link_libraries(bench_acquisition_poll PRIVATE krv_acquisition benchmark::benchmark ${CMAKE_DL_LIBS})
add_dependencies(bench_acquisition_poll Velmor4API)
