krv_add_test(vrd_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/vrdtest.cpp LIBS krv_acquisition)
add_dependencies(vrd_test vrd)
