# The string table and the sources that ask for its ids, read in place.
target_compile_definitions(test_common PRIVATE QUARNEL_STRINGS="${CMAKE_SOURCE_DIR}/resources/strings.txt"
                                               QUARNEL_SOURCES="${CMAKE_SOURCE_DIR}/src")
