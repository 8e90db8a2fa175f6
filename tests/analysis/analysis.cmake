# Signal analysis kernel: plain GoogleTest programs, no Qt.
krv_add_test(test_analysis_fft
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fftreference.cpp ${CMAKE_CURRENT_LIST_DIR}/fft_test.cpp
  LIBS krv_analysis Threads::Threads)
krv_add_test(test_analysis_spectra
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fftreference.cpp ${CMAKE_CURRENT_LIST_DIR}/measurements_test.cpp
  LIBS krv_analysis)
krv_add_test(test_analysis_octave
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/octave_test.cpp
  LIBS krv_analysis)
krv_add_test(test_analysis_multimeter
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/multimeter_test.cpp
  LIBS krv_analysis)
