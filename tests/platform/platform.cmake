krv_add_test(test_platform QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_platform.cpp
  LIBS krv_platform)
