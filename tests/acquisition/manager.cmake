# Hardware manager and recorder modules, driven through the recorder
# simulator and the simulated wave input; results read back from recordings.
krv_add_test(test_hwmanager QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/hwmanager_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/hwmodule_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/recordingreader.cpp
  LIBS krv_acquisition ${CMAKE_DL_LIBS})
add_dependencies(test_hwmanager Velmor4API Velmor4API_nochannel)
