# The end-to-end tests hear the program through the voice log and answer its boxes with
# keys (the access layer's test support), and open the test data (tests/testdata) in place.
target_sources(test_browser PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/access/VoiceTestSupport.cpp)
target_include_directories(test_browser PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/access)
target_compile_definitions(test_browser PRIVATE QUARNEL_TESTDATA="${CMAKE_SOURCE_DIR}/tests/testdata"
                                                QUARNEL_SAMPLE="${CMAKE_BINARY_DIR}/adresar.mdb")
add_dependencies(test_browser sample_database)

# The record editor is tried on ODBC sources too: the SQLite ODBC driver and the PostgreSQL
# server of the ctest run (the data tests' fixture), reached as the data tests reach them.
target_sources(test_browser PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/data/OdbcTestSupport.cpp)
target_include_directories(test_browser PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/data)
string(MD5 quarnel_build_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING ${quarnel_build_hash} 0 12 quarnel_build_hash)
target_compile_definitions(test_browser PRIVATE QUARNEL_SHARED_POSTGRES="/tmp/quarnel-pg-${quarnel_build_hash}")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/test_browser_postgres.cmake [=[
foreach(test IN LISTS test_browser_TESTS)
  if(test MATCHES "Postgres")
    set_tests_properties("${test}" PROPERTIES FIXTURES_REQUIRED quarnel_postgres RESOURCE_LOCK quarnel_postgres_db)
  endif()
endforeach()
]=])
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_CURRENT_BINARY_DIR}/test_browser_postgres.cmake)
