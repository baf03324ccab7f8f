# 64-bit Windows: the same sources as the 32-bit product; the tests run this build where
# the machine cannot run 32-bit code.
set(TAVREL_MINGW_ARCH x86_64)
set(TAVREL_WINE_BITS 64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
