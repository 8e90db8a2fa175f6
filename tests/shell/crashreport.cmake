# The crashing child, built twice: with the symbol library, and naming one
# that does not exist so that the report takes the frame-pointer walk.
add_executable(krv_crash_victim ${CMAKE_CURRENT_LIST_DIR}/crashvictim.cpp)
target_link_libraries(krv_crash_victim PRIVATE krv_shell)
add_executable(krv_crash_victim_nodw ${CMAKE_CURRENT_LIST_DIR}/crashvictim.cpp)
target_link_libraries(krv_crash_victim_nodw PRIVATE krv_shell)
target_compile_definitions(krv_crash_victim_nodw PRIVATE KRV_VICTIM_SYMBOL_LIBRARY="libdw-missing.so.0")

krv_add_test(test_crashreport
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_crashreport.cpp ${CMAKE_CURRENT_LIST_DIR}/test_crashparts.cpp
  LIBS krv_shell)
add_dependencies(test_crashreport krv_crash_victim krv_crash_victim_nodw)
