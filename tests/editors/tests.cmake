# The dialogs are driven with keys and heard through the voice log; they open the
# test data and the sample database in place.
target_sources(test_editors PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/access/VoiceTestSupport.cpp)
target_include_directories(test_editors PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/access)
target_compile_definitions(test_editors PRIVATE QUARNEL_TESTDATA="${CMAKE_SOURCE_DIR}/tests/testdata"
                                                QUARNEL_SAMPLE="${CMAKE_BINARY_DIR}/adresar.mdb")
add_dependencies(test_editors sample_database)

# A program that writes down how it was started (its folder and arguments), so that the
# tests see exactly what an action handed over. The main window's tests start it too.
add_executable(args_writer ${CMAKE_CURRENT_SOURCE_DIR}/helpers/args_writer.cpp)
foreach(target IN ITEMS test_editors test_browser)
  if(TARGET ${target})
    target_compile_definitions(${target} PRIVATE ARGS_WRITER="$<TARGET_FILE:args_writer>")
    add_dependencies(${target} args_writer)
  endif()
endforeach()
