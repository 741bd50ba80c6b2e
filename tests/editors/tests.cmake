# The dialogs are driven with keys and heard through the voice log; they open the shared
# test data and the sample database in place.
target_sources(test_editors PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/access/VoiceTestSupport.cpp)
target_include_directories(test_editors PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/access)
target_compile_definitions(test_editors PRIVATE QUARNEL_TESTDATA="${CMAKE_SOURCE_DIR}/../shared/testdata"
                                                QUARNEL_SAMPLE="${CMAKE_BINARY_DIR}/adresar.mdb")
add_dependencies(test_editors sample_database)
