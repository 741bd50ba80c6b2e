pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
target_link_libraries(quarnel_data PUBLIC PkgConfig::SQLITE3)

# ---- Genuine Access files (cMdbDriver): libmdb runs only in the helper program ----
pkg_check_modules(LIBMDB REQUIRED IMPORTED_TARGET libmdb)
add_executable(quarnel-mdb-reader ${CMAKE_SOURCE_DIR}/tools/quarnel-mdb-reader.cpp)
target_link_libraries(quarnel-mdb-reader PRIVATE PkgConfig::LIBMDB)
# The helper is the process meant to absorb a damaged file's faults, and libmdb is not
# instrumented: sanitizers there would only slow every open.
foreach(kind COMPILE_OPTIONS LINK_OPTIONS)
  get_target_property(options quarnel-mdb-reader ${kind})
  if(options)
    list(FILTER options EXCLUDE REGEX "sanitize")
    set_target_properties(quarnel-mdb-reader PROPERTIES ${kind} "${options}")
  endif()
endforeach()
target_compile_definitions(quarnel_data PRIVATE QUARNEL_MDB_READER="$<TARGET_FILE:quarnel-mdb-reader>")
add_dependencies(quarnel_data quarnel-mdb-reader)
# ---- end of the Access block ----

# --- ODBC sources (unixODBC) ---
pkg_check_modules(ODBC REQUIRED IMPORTED_TARGET odbc)
target_link_libraries(quarnel_data PUBLIC PkgConfig::ODBC)
# --- end ODBC sources ---
