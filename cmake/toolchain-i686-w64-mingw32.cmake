# Cross-compiling for 32-bit Windows with Debian's MinGW-w64 toolchain:
#   cmake -S . -B DIR -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake
# Libraries built for the target (libpng) are found through -DCMAKE_PREFIX_PATH=PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(STRIPBAND_TARGET_TRIPLE i686-w64-mingw32)

# The posix thread model brings winpthread, which a static link carries into the program.
find_program(CMAKE_C_COMPILER NAMES ${STRIPBAND_TARGET_TRIPLE}-gcc-posix
                                    ${STRIPBAND_TARGET_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${STRIPBAND_TARGET_TRIPLE}-g++-posix
                                      ${STRIPBAND_TARGET_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${STRIPBAND_TARGET_TRIPLE}-windres REQUIRED)

# Headers and libraries come only from the target's tree and the given prefixes (each made a
# root of its own, so they are searched as they are); programs come from the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${STRIPBAND_TARGET_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
