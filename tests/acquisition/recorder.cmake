# Recorder API binding, recorder simulator and the text archive.
krv_add_test(test_recorderapi QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/recorderapi_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/textarchive_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/simulator_test.cpp
  LIBS krv_acquisition)
add_dependencies(test_recorderapi Velmor4API Velmor4API_v1520 Velmor4API_v1265 Velmor4API_nochannel)
