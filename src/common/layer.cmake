# ICU's collator, for binary sort keys of many texts at once (Qt's own collation runs on it).
pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-i18n icu-uc)
target_link_libraries(quarnel_common PUBLIC PkgConfig::ICU)
