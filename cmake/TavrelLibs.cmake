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

# tavrel_copy_beside(target dll_target [AS file_name])
# Keeps a copy of a DLL target's file next to target's own output, renewed
# whenever the DLL is rebuilt (a post-build copy would go stale when only
# the DLL changed). Programs load such DLLs by name from their own folder.
function(tavrel_copy_beside target dll)
  cmake_parse_arguments(C "" "AS" "" ${ARGN})
  if(NOT C_AS)
    set(C_AS $<TARGET_FILE_NAME:${dll}>)
  endif()
  get_target_property(dir ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT dir)
    set(dir ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_${dll}.copied)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${dll}> ${dir}/${C_AS}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${dll}
    VERBATIM)
  add_custom_target(${target}_copy_${dll} DEPENDS ${stamp})
  add_dependencies(${target} ${target}_copy_${dll})
endfunction()
