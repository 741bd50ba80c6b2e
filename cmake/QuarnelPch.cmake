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

# kind: core (Qt Core only), widgets, core-tests or widgets-tests.
function(quarnel_precompile target kind)
  if(NOT QUARNEL_PCH)
    return()
  endif()
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
  target_precompile_headers(${target} PRIVATE ${headers})
  # Only the widget layers declare QObjects in headers; elsewhere moc's collected file is
  # empty, and loading the header would cost it a second or more.
  if(NOT kind STREQUAL "widgets")
    get_target_property(folder ${target} BINARY_DIR)
    set_source_files_properties(${folder}/${target}_autogen/mocs_compilation.cpp
      TARGET_DIRECTORY ${target} PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
  endif()
endfunction()
