krv_add_test(look_test QT
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/colourscheme_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formatwithprefix_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/mainmenu_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/windowplacement_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/p0dialog_test.cpp
  LIBS krv_shell krv_panels krv_widgets krv_context krv_platform Qt6::Test)
