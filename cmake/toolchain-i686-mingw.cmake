# Cross build for i686 Windows with MinGW-w64 (posix threads model, so
# std::thread and std::mutex exist).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUARN_MINGW_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER   ${QUARN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${QUARN_MINGW_TRIPLE}-windres)

# Cross-built libraries (curl, jsoncpp, TinyXML) live in a cache outside the
# clone; tools/build-windows-deps.sh prints the folder.
set(QUARN_WINDOWS_DEPS "" CACHE PATH "Prefix of the cross-built libraries")
set(CMAKE_FIND_ROOT_PATH /usr/${QUARN_MINGW_TRIPLE} ${QUARN_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the Windows test programs under Wine.
get_filename_component(_quarn_tools "${CMAKE_CURRENT_LIST_DIR}/../tools" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR /bin/bash "${_quarn_tools}/wine-run.sh")
