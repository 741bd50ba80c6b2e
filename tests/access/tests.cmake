# The voice bridge against real services: a private speech-dispatcher and BRLTTY, started
# and stopped around these tests by daemons.sh (a CTest fixture).
add_executable(vr_display ${CMAKE_CURRENT_SOURCE_DIR}/access/integration/vr_display.cpp)

file(GLOB daemon_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/access/integration/*Test.cpp)
set(access_daemon_state ${CMAKE_CURRENT_BINARY_DIR}/access-daemons)
add_executable(test_access_daemons ${daemon_tests} ${CMAKE_CURRENT_SOURCE_DIR}/access/VoiceTestSupport.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/support/GuiMain.cpp ${CMAKE_CURRENT_SOURCE_DIR}/support/ModalWatchdog.cpp)
target_include_directories(test_access_daemons PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/access)
target_link_libraries(test_access_daemons PRIVATE quarnel_access quarnel_testsupport Qt6::Test)
target_compile_definitions(test_access_daemons PRIVATE DAEMON_STATE="${access_daemon_state}")
add_dependencies(test_access_daemons vr_display)

add_test(NAME access_daemons_start
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/access/daemons.sh start ${access_daemon_state} $<TARGET_FILE:vr_display>)
add_test(NAME access_daemons_stop COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/access/daemons.sh stop ${access_daemon_state})
set_tests_properties(access_daemons_start PROPERTIES FIXTURES_SETUP access_daemons RESOURCE_LOCK access_daemons
                                                     TIMEOUT 60)
set_tests_properties(access_daemons_stop PROPERTIES FIXTURES_CLEANUP access_daemons RESOURCE_LOCK access_daemons)
# The tests choose the speechd backend themselves; GuiMain makes the platform offscreen.
gtest_discover_tests(test_access_daemons
  PROPERTIES FIXTURES_REQUIRED access_daemons RESOURCE_LOCK access_daemons TIMEOUT 120
  DISCOVERY_TIMEOUT 60)

# One message box on its own, for the AT-SPI audit (shared/tools/a11y-audit).
add_executable(message_box_probe ${CMAKE_CURRENT_SOURCE_DIR}/access/integration/message_box_probe.cpp)
target_link_libraries(message_box_probe PRIVATE quarnel_access)

# One file dialog on its own, for the same audit.
add_executable(file_dialog_probe ${CMAKE_CURRENT_SOURCE_DIR}/access/integration/file_dialog_probe.cpp)
target_link_libraries(file_dialog_probe PRIVATE quarnel_access)
