# The genuine Access file and other shared test data, read in place.
target_compile_definitions(test_data PRIVATE QUARNEL_TESTDATA="${CMAKE_SOURCE_DIR}/../shared/testdata")
target_link_libraries(test_data PRIVATE PkgConfig::SQLITE3)
target_compile_definitions(test_data PRIVATE QUARNEL_SAMPLE="${CMAKE_BINARY_DIR}/adresar.mdb")
add_dependencies(test_data sample_database)
