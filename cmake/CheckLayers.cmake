# Fails when a source file includes a header of a layer above its own, or when a layer that must
# stay free of Qt includes it. Run as: cmake -DSOURCE_DIR=<repository> -P CheckLayers.cmake

cmake_minimum_required(VERSION 3.25)

# Each folder with the folders its files may include, bottom layer first.
set(allowed_platform platform)
set(allowed_devices devices platform)
set(allowed_output output platform)
set(allowed_engine engine output platform)
set(allowed_input input engine platform)
set(allowed_exercises exercises input engine output platform)
set(allowed_core core exercises input engine output platform)
set(allowed_history history engine platform)
set(allowed_display display engine input)
set(allowed_app app core exercises history display input engine output devices platform)
set(allowed_tools tools core exercises input engine output platform)
set(qt_free platform output engine input exercises core)

set(problems "")
foreach(folder platform devices output engine input exercises core history display app tools)
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^#include [\"<]")
    foreach(line IN LISTS includes)
      if(line MATCHES "^#include \"([a-z]+)/")
        set(target ${CMAKE_MATCH_1})
        if(IS_DIRECTORY ${SOURCE_DIR}/${target} AND NOT target IN_LIST allowed_${folder})
          list(JOIN allowed_${folder} ", " may)
          string(APPEND problems "  ${source}: ${line} (${folder} may include ${may})\n")
        endif()
      elseif(line MATCHES "^#include <Q")
        if(folder IN_LIST qt_free)
          string(APPEND problems "  ${source}: ${line} (no Qt in ${folder})\n")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "Includes that cross the layers the wrong way:\n${problems}")
endif()
