# The core's unit tests as a 32-bit Linux program: the one place where 32-bit arithmetic and
# structure layout run on a machine whose kernel cannot run 32-bit code (there through
# qemu-i386-static, see scripts/run-i686.sh). Same floating-point flags as the 32-bit
# Windows build, and a 64-bit time_t as mingw has.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse -D_TIME_BITS=64 -D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse -D_TIME_BITS=64 -D_FILE_OFFSET_BITS=64")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/run-i686.sh)
