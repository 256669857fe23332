# A folder's library: its sources, the repository root on the include path, the project's warnings.
function(auralis_library target)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  auralis_warnings(${target})
endfunction()
