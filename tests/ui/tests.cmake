# The dialogs are driven with keys and heard through the voice log.
target_sources(test_ui PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/access/VoiceTestSupport.cpp)
target_include_directories(test_ui PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/access)
