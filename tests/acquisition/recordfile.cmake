krv_add_test(recordfile_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/recordfiletest.cpp LIBS krv_acquisition)
