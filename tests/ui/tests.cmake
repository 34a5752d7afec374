# End-to-end run of the real player on a virtual X display. Skipped (77)
# where xvfb-run is not installed.
# (Included from tests/ and from tests/ui; the target is made once.)
if(TARGET kelvara AND NOT TARGET test_ui_e2e)
  add_executable(test_ui_e2e ${CMAKE_CURRENT_LIST_DIR}/e2e/EndToEndTest.cpp)
  target_link_libraries(test_ui_e2e PRIVATE kelvara_ui GTest::gtest)
  target_compile_definitions(test_ui_e2e PRIVATE
    KELVARA_PLAYER_PATH="$<TARGET_FILE:kelvara>"
    KELVARA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KELVARA_E2E_SHOT="${CMAKE_BINARY_DIR}/kelvara-e2e.png"
    KELVARA_E2E_SCREEN="${CMAKE_BINARY_DIR}/kelvara-e2e-screen.png")
  add_dependencies(test_ui_e2e kelvara)
  add_test(NAME PlayerEndToEnd
    COMMAND sh -c "command -v xvfb-run >/dev/null || exit 77; exec xvfb-run -a -s '-screen 0 1024x768x24' \"$0\""
            $<TARGET_FILE:test_ui_e2e>)
  set_tests_properties(PlayerEndToEnd PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 180
    ENVIRONMENT "QT_QPA_PLATFORM=xcb;SDL_AUDIODRIVER=dummy")
endif()

# The artwork test redraws the built-in pictures and example skins with the
# generator and compares them with the committed files.
if(TARGET kelvara-artgen AND TARGET test_ui AND CMAKE_CURRENT_SOURCE_DIR STREQUAL CMAKE_CURRENT_LIST_DIR)
  add_dependencies(test_ui kelvara-artgen)
  target_compile_definitions(test_ui PRIVATE KELVARA_ARTGEN="$<TARGET_FILE:kelvara-artgen>")
endif()

# The MPRIS tests need a session bus of their own. (This file is read from
# both test folders; the test is added once, from this one.)
find_program(DBUS_RUN_SESSION dbus-run-session)
if(DBUS_RUN_SESSION AND CMAKE_CURRENT_SOURCE_DIR STREQUAL CMAKE_CURRENT_LIST_DIR)
  add_test(NAME MprisOnPrivateBus
           COMMAND ${DBUS_RUN_SESSION} -- $<TARGET_FILE:test_ui> --gtest_filter=Mpris*)
  set_tests_properties(MprisOnPrivateBus PROPERTIES TIMEOUT 60
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy;KELVARA_PRIVATE_BUS=1")
endif()
