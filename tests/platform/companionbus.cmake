# The broadcast between processes: the program brings its own main, since
# it is also the second process that sends. Without a session bus the test
# skips; under dbus-run-session it runs for real.
add_executable(test_companionbus ${CMAKE_CURRENT_LIST_DIR}/test_companionbus.cpp)
target_link_libraries(test_companionbus PRIVATE krv_platform GTest::gtest Qt6::Test)
find_program(DBUS_RUN_SESSION dbus-run-session)
if(DBUS_RUN_SESSION)
  add_test(NAME test_companionbus COMMAND ${DBUS_RUN_SESSION} -- $<TARGET_FILE:test_companionbus>)
else()
  add_test(NAME test_companionbus COMMAND test_companionbus)
endif()
set_tests_properties(test_companionbus PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
