# Shared part of the two mingw-w64 toolchain files. TAVREL_TRIPLE is set by
# the including file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${TAVREL_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVREL_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${TAVREL_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TAVREL_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The DLLs must need nothing beside Windows: the C, C++ and thread run-times
# are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under Wine; the wrapper picks the prefix inside the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
