# The genuine Access files of the test data (tests/testdata), read in place.
target_compile_definitions(test_data PRIVATE QUARNEL_TESTDATA="${CMAKE_SOURCE_DIR}/tests/testdata")
target_link_libraries(test_data PRIVATE PkgConfig::SQLITE3)
target_compile_definitions(test_data PRIVATE QUARNEL_SAMPLE="${CMAKE_BINARY_DIR}/adresar.mdb")
add_dependencies(test_data sample_database)

# One PostgreSQL server for a whole ctest run: each test is a process of its own, and a
# server for each would cost seconds apiece. test_data run by hand starts its own.
# The folder lies in /tmp: the server runs as "nobody" when the tests run as root, and
# must reach it whatever the checkout's folder allows; a short path also keeps the
# socket's name within its limit.
string(MD5 quarnel_build_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING ${quarnel_build_hash} 0 12 quarnel_build_hash)
set(quarnel_postgres /tmp/quarnel-pg-${quarnel_build_hash})
target_compile_definitions(test_data PRIVATE QUARNEL_SHARED_POSTGRES="${quarnel_postgres}")
foreach(action start stop)
  add_test(NAME data_postgres_${action}
           COMMAND ${CMAKE_COMMAND} -DACTION=${action} -DFOLDER=${quarnel_postgres}
                   -P ${CMAKE_CURRENT_SOURCE_DIR}/data/postgres-fixture.cmake)
endforeach()
set_tests_properties(data_postgres_start PROPERTIES FIXTURES_SETUP quarnel_postgres)
set_tests_properties(data_postgres_stop PROPERTIES FIXTURES_CLEANUP quarnel_postgres)
add_test(NAME data_postgres_private
         COMMAND ${CMAKE_COMMAND} -DACTION=check -DFOLDER=${quarnel_postgres}
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/data/postgres-fixture.cmake)
set_tests_properties(data_postgres_private PROPERTIES FIXTURES_REQUIRED quarnel_postgres)
# The discovered tests that reach PostgreSQL need it; ctest reads this after their list.
# They share its one database, so they take turns.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/test_data_postgres.cmake [=[
foreach(test IN LISTS test_data_TESTS)
  if(test MATCHES "Postgres|OdbcSource")
    set_tests_properties("${test}" PROPERTIES FIXTURES_REQUIRED quarnel_postgres RESOURCE_LOCK quarnel_postgres_db)
  endif()
endforeach()
]=])
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_CURRENT_BINARY_DIR}/test_data_postgres.cmake)

# A stand-in for the Access reader that trickles or floods, as a hostile file could make it.
add_executable(fake_mdb_reader ${CMAKE_CURRENT_SOURCE_DIR}/helpers/fake_mdb_reader.cpp)
target_compile_definitions(test_data PRIVATE FAKE_MDB_READER="$<TARGET_FILE:fake_mdb_reader>")
add_dependencies(test_data fake_mdb_reader)

# Damaged copies of genuine files opened through the engine (scripts/campaign-access,
# scripts/campaign-sqlite); the regression test makes the worst of them again.
add_executable(damage_campaign ${CMAKE_CURRENT_SOURCE_DIR}/helpers/damage_campaign.cpp)
target_link_libraries(damage_campaign PRIVATE quarnel_data)
target_include_directories(damage_campaign PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/helpers)
target_include_directories(test_data PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/helpers)
target_compile_definitions(test_data PRIVATE QUARNEL_CORPUS="${CMAKE_CURRENT_SOURCE_DIR}/data/corpus")

# What users do, on files other programs made (scripts/campaign-operations); the
# regression test runs a few of its cases.
add_executable(operations_campaign ${CMAKE_CURRENT_SOURCE_DIR}/helpers/operations_campaign.cpp)
target_link_libraries(operations_campaign PRIVATE quarnel_data PkgConfig::SQLITE3)
target_include_directories(operations_campaign PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/helpers)
