# Configuration of the five recorder models against the recorder simulator:
# what is read, what is sent, the channel definitions and the live samples.
krv_add_test(test_configure QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/configure_test.cpp
  LIBS krv_acquisition ${CMAKE_DL_LIBS})
add_dependencies(test_configure Velmor4API)
