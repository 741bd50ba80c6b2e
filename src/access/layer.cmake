# Speech through speech-dispatcher, Braille through BrlAPI (BRLTTY ships no pkg-config file).
pkg_check_modules(SPEECHD REQUIRED IMPORTED_TARGET speech-dispatcher)
find_path(BRLAPI_INCLUDE_DIR brlapi.h REQUIRED)
find_library(BRLAPI_LIBRARY brlapi REQUIRED)
find_package(Threads REQUIRED)
target_include_directories(quarnel_${name} PRIVATE ${BRLAPI_INCLUDE_DIR})
target_link_libraries(quarnel_${name} PRIVATE PkgConfig::SPEECHD ${BRLAPI_LIBRARY} Threads::Threads)
