# Precompiled headers: most of a translation unit's time goes into parsing Qt (and, in the
# tests, GoogleTest) again, which on a two-core CI machine is the larger part of the build.
# Only headers from outside the project go in, so editing our own headers rebuilds no
# precompiled header. ccache caches nothing that uses one unless its sloppiness allows it
# (pch_defines,time_macros,include_file_mtime,include_file_ctime), so with ccache as the
# launcher they are off unless asked for.
if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
  set(quarnel_pch_default OFF)
else()
  set(quarnel_pch_default ON)
endif()
option(QUARNEL_PCH "Precompile the Qt and GoogleTest headers of each layer and test program"
       ${quarnel_pch_default})

set(QUARNEL_PCH_CORE
  <algorithm> <functional> <memory> <optional> <vector>
  <QDateTime> <QDir> <QFile> <QFileInfo> <QHash> <QList> <QLocale> <QObject>
  <QRegularExpression> <QString> <QStringList> <QVariant>)
set(QUARNEL_PCH_WIDGETS
  <QAccessible> <QApplication> <QDialog> <QHBoxLayout> <QKeyEvent> <QLabel> <QLineEdit>
  <QListWidget> <QPlainTextEdit> <QPointer> <QPushButton> <QTimer> <QVBoxLayout> <QWidget>)

# kind: core (Qt Core only), widgets, core-tests or widgets-tests. The headers are given
# once every target is made (quarnel_precompile_all), when their definitions are known.
function(quarnel_precompile target kind)
  if(QUARNEL_PCH)
    set_property(GLOBAL APPEND PROPERTY QUARNEL_PCH_KINDS ${kind})
    set_property(GLOBAL APPEND PROPERTY QUARNEL_PCH_${kind} ${target})
  endif()
endfunction()

# The targets of a kind share one precompiled header, built by one of them that defines no
# macros of its own: gcc refuses a header made with a macro the user lacks, and building
# it costs as much as several translation units. Where every target has macros of its own,
# each builds its own header.
function(quarnel_precompile_all)
  get_property(kinds GLOBAL PROPERTY QUARNEL_PCH_KINDS)
  list(REMOVE_DUPLICATES kinds)
  foreach(kind IN LISTS kinds)
    set(headers ${QUARNEL_PCH_CORE})
    if(kind MATCHES "^widgets")
      list(APPEND headers ${QUARNEL_PCH_WIDGETS})
    endif()
    if(kind MATCHES "tests$")
      list(APPEND headers <gtest/gtest.h> <QTemporaryDir>)
    endif()
    if(kind STREQUAL "widgets-tests")
      list(APPEND headers <QTest>)
    endif()
    get_property(targets GLOBAL PROPERTY QUARNEL_PCH_${kind})
    set(owner)
    foreach(target IN LISTS targets)
      get_target_property(definitions ${target} COMPILE_DEFINITIONS)
      if(NOT definitions)
        set(owner ${target})
        break()
      endif()
    endforeach()
    foreach(target IN LISTS targets)
      if(owner AND NOT target STREQUAL owner)
        target_precompile_headers(${target} REUSE_FROM ${owner})
      else()
        target_precompile_headers(${target} PRIVATE ${headers})
      endif()
      # Only the widget layers declare QObjects in headers; elsewhere moc's collected file
      # is empty, and loading the header would cost it a second or more.
      if(NOT kind STREQUAL "widgets")
        get_target_property(folder ${target} BINARY_DIR)
        set_source_files_properties(${folder}/${target}_autogen/mocs_compilation.cpp
          TARGET_DIRECTORY ${target} PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
      endif()
    endforeach()
  endforeach()
endfunction()
