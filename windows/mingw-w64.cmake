# Cross-builds the updater for Windows with Debian's MinGW-w64 compilers
# (the posix threading flavour, which std::thread and Qt need).
#   cmake -DCMAKE_TOOLCHAIN_FILE=windows/mingw-w64.cmake -DCMAKE_PREFIX_PATH=QT_KIT ...
# ORV_MINGW_TRIPLET picks the target: x86_64-w64-mingw32 (the default) or
# i686-w64-mingw32.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT ORV_MINGW_TRIPLET)
    set(ORV_MINGW_TRIPLET x86_64-w64-mingw32)
endif()
set(ORV_MINGW_TRIPLET ${ORV_MINGW_TRIPLET} CACHE STRING "MinGW-w64 target triplet")
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${ORV_MINGW_TRIPLET})

set(CMAKE_C_COMPILER ${ORV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ORV_MINGW_TRIPLET}-windres)
set(CMAKE_DLLTOOL ${ORV_MINGW_TRIPLET}-dlltool)

# Libraries and headers of the target only; programs (moc, Wine) of the
# build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ORV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The Qt kit lies outside the target's root, where CMAKE_PREFIX_PATH says.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
