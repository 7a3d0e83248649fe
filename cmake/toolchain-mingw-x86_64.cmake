# 64-bit Windows, from the same sources. Runs under the 64-bit Wine, which
# every machine here can run.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_PREFIX x86_64-w64-mingw32)
set(BOOTSTRAP_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
