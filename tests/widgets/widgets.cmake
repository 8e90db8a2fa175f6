krv_add_test(widgets_test QT
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/widgettest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/helpers_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/selectorbutton_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/togglebutton_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/popups_test.cpp
  LIBS krv_widgets krv_context krv_platform Qt6::Test)
