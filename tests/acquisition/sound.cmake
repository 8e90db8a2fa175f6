krv_add_test(soundinput_test QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/soundinputtest.cpp ${CMAKE_CURRENT_LIST_DIR}/../platform/alsaconfig.cpp
  LIBS krv_acquisition ALSA::ALSA)
add_dependencies(soundinput_test asound_module_pcm_krvbusy)
