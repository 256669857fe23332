# A folder's library: its sources, the repository root on the include path, the project's warnings.
function(auralis_library target)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  auralis_warnings(${target})
endfunction()

# Parses the headers that nearly every source of a Qt target includes once per target instead of
# once per source: most of a window test's compile time goes to them. QT for the widgets and core
# classes, TEST for GoogleTest (and QtTest with QT).
function(auralis_precompile target)
  cmake_parse_arguments(PCH "QT;TEST" "" "" ${ARGN})
  set(headers <algorithm> <chrono> <functional> <memory> <optional> <string> <vector>)
  if(PCH_QT)
    list(APPEND headers <QAction> <QApplication> <QDir> <QFile> <QLabel> <QMainWindow> <QMenu>
         <QSettings> <QString> <QTimer> <QWidget>)
  endif()
  if(PCH_TEST)
    list(APPEND headers <gtest/gtest.h>)
  endif()
  if(PCH_QT AND PCH_TEST)
    list(APPEND headers <QTest>)
  endif()
  target_precompile_headers(${target} PRIVATE ${headers})
endfunction()
