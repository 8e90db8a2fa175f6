krv_add_test(test_mainwindow QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_mainwindow.cpp
  LIBS krv_shell)
