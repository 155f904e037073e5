# tavrel_glob_library(name DIR dir [EXCLUDE file...])
# A static library of every .cpp in dir (minus the excluded ones), so that
# adding a source file needs no edit here. An empty folder still gives a
# library, so dependants link before the code arrives.
function(tavrel_glob_library name)
  cmake_parse_arguments(L "" "DIR" "EXCLUDE" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${L_DIR}/*.cpp)
  foreach(x ${L_EXCLUDE})
    list(REMOVE_ITEM srcs ${L_DIR}/${x})
  endforeach()
  if(NOT srcs)
    set(empty ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${empty} "// no sources yet\n")
    set(srcs ${empty})
  endif()
  add_library(${name} STATIC ${srcs})
endfunction()
