krv_add_test(test_sharedsource QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_sharedsource.cpp
  LIBS krv_shell)
