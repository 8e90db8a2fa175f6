# An ALSA PCM plugin whose open always reports the device busy, for the
# private ALSA configurations of the wave input tests.
add_library(asound_module_pcm_krvbusy MODULE ${CMAKE_CURRENT_LIST_DIR}/alsabusyplugin.cpp)
target_link_libraries(asound_module_pcm_krvbusy PRIVATE ALSA::ALSA)
# Shared-object form of the plugin version symbol (not the static-build table).
target_compile_definitions(asound_module_pcm_krvbusy PRIVATE PIC)

krv_add_test(wavein_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/waveintest.cpp ${CMAKE_CURRENT_LIST_DIR}/alsaconfig.cpp
  LIBS krv_platform ALSA::ALSA)
add_dependencies(wavein_test asound_module_pcm_krvbusy)
