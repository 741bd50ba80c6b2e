# libFuzzer target for the Jet SQL translation (jetsql_fuzz). Include it from a clang
# build of this folder: include(${CMAKE_CURRENT_SOURCE_DIR}/jetsql.cmake), or build and
# run it alone with fuzz/build-jetsql.sh [seconds].
if(NOT DEFINED QUARNEL_ROOT)
  set(QUARNEL_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
endif()
find_package(Qt6 6.4 REQUIRED COMPONENTS Core)
find_package(PkgConfig REQUIRED)
pkg_check_modules(JETSQL_SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)

add_executable(jetsql_fuzz
  ${CMAKE_CURRENT_LIST_DIR}/jetsql_fuzz.cpp
  ${QUARNEL_ROOT}/src/data/mJetSql.cpp
  ${QUARNEL_ROOT}/src/data/mJetSqlTokens.cpp
  ${QUARNEL_ROOT}/src/data/mJetSqlTranslate.cpp
  ${QUARNEL_ROOT}/src/data/mJetSqlShape.cpp
  ${QUARNEL_ROOT}/src/data/mSqliteSchema.cpp
  ${QUARNEL_ROOT}/src/data/mJetSqlFunctions.cpp
  ${QUARNEL_ROOT}/src/data/mOdbcSql.cpp
  ${QUARNEL_ROOT}/src/data/cSqliteStatement.cpp
  ${QUARNEL_ROOT}/src/data/mJetErrors.cpp
  ${QUARNEL_ROOT}/src/common/mStringTable.cpp
  ${QUARNEL_ROOT}/src/common/cRuntimeError.cpp)
# Error texts come from the string table, and the target checks that none is empty.
qt_add_resources(jetsql_fuzz strings PREFIX "/" BASE ${QUARNEL_ROOT}/resources
                 FILES ${QUARNEL_ROOT}/resources/strings.txt)
target_include_directories(jetsql_fuzz PRIVATE ${QUARNEL_ROOT}/src/data ${QUARNEL_ROOT}/src/common)
target_compile_options(jetsql_fuzz PRIVATE -g -O1 -fno-omit-frame-pointer
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
target_link_options(jetsql_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(jetsql_fuzz PRIVATE Qt6::Core PkgConfig::JETSQL_SQLITE3)
