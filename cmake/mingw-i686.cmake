# 32-bit Windows: the product.
set(TAVREL_MINGW_ARCH i686)
set(TAVREL_WINE_BITS 32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
# SSE2 arithmetic, as in the 64-bit build and the unit tests: on the x87 unit the
# timetable's geometry (doubles, then truncation) can come out a pixel apart.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
