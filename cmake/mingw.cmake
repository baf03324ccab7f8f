# Cross toolchain for Windows with mingw-w64 (posix threads, which GoogleTest needs), for
# the processor TAVREL_MINGW_ARCH; included by mingw-i686.cmake and mingw-x86_64.cmake.
# ctest runs the Windows test programs under Wine of TAVREL_WINE_BITS bits, in the build
# folder's own prefix.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TAVREL_MINGW_ARCH})
set(CMAKE_C_COMPILER ${TAVREL_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVREL_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${TAVREL_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TAVREL_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh --bits=${TAVREL_WINE_BITS})
