# The end-to-end tests hear the program through the voice log and answer its boxes with
# keys (the access layer's test support), and open the shared test data in place.
target_sources(test_browser PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/access/VoiceTestSupport.cpp)
target_include_directories(test_browser PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/access)
target_compile_definitions(test_browser PRIVATE QUARNEL_TESTDATA="${CMAKE_SOURCE_DIR}/../shared/testdata"
                                                QUARNEL_SAMPLE="${CMAKE_BINARY_DIR}/adresar.mdb")
add_dependencies(test_browser sample_database)
