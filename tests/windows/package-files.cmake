# The Windows package read as Windows would take it, without running
# anything (here, a 32-bit package cannot run): every program and library
# is of the package's machine; every library they import is in the package
# or part of Windows; orv_api.dll exports the twelve functions of
# device/orv_api.def by their plain names, and the program imports exactly
# those from it, delay-loaded, and orv-sim.exe nothing.
#   cmake -DZIP=... -DFORMAT=pei-i386|pei-x86-64 -DOBJDUMP=... -DDEF=orv_api.def
#         -DWORK_DIR=... -P package-files.cmake
cmake_policy(VERSION 3.18)
include(${CMAKE_CURRENT_LIST_DIR}/delayimports.cmake)

# What every Windows PC has, that the program, Qt and MinGW's runtime import.
set(windows advapi32 d3d11 dwmapi dxgi gdi32 imm32 kernel32 mpr msvcrt netapi32 ole32 oleaut32 shell32 user32
    userenv uxtheme version winmm ws2_32 wtsapi32)

set(failures "")
macro(fail what)
    string(APPEND failures "\n  ${what}")
endmacro()

file(REMOVE_RECURSE ${WORK_DIR})
file(ARCHIVE_EXTRACT INPUT ${ZIP} DESTINATION ${WORK_DIR})
file(GLOB_RECURSE binaries ${WORK_DIR}/*.exe ${WORK_DIR}/*.dll)
set(packaged "")
foreach(binary IN LISTS binaries)
    get_filename_component(name ${binary} NAME)
    string(TOLOWER ${name} name)
    list(APPEND packaged ${name})
endforeach()
if(NOT "orv1600-updater.exe" IN_LIST packaged OR NOT "orv_api.dll" IN_LIST packaged)
    message(FATAL_ERROR "${ZIP} holds no program and device library: ${packaged}")
endif()

file(STRINGS ${DEF} twelve REGEX "^ +orv")
list(TRANSFORM twelve REPLACE "^ +([A-Za-z0-9]+).*" "\\1")
list(SORT twelve)

foreach(binary IN LISTS binaries)
    get_filename_component(name ${binary} NAME)
    execute_process(COMMAND ${OBJDUMP} -p ${binary} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR NOT dump MATCHES "file format ${FORMAT}\n")
        string(REGEX MATCH "file format [^\n]*" format "${dump}")
        fail("${name}: not ${FORMAT} (${format})")
        continue()
    endif()
    string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
    list(TRANSFORM imports REPLACE "DLL Name: " "")
    foreach(import IN LISTS imports)
        string(TOLOWER ${import} import)
        string(REGEX REPLACE "\\.dll$" "" bare ${import})
        if(NOT import IN_LIST packaged AND NOT bare IN_LIST windows)
            fail("${name} imports ${import}, which is neither in the package nor part of Windows")
        endif()
        if(import STREQUAL "orv_api.dll" AND NOT name STREQUAL "orv_api.dll")
            fail("${name} imports orv_api.dll at its start")
        endif()
    endforeach()

    if(name STREQUAL "orv_api.dll")
        string(REGEX MATCHALL "\\[ *[0-9]+\\] orv[^\n]*" exported "${dump}")
        list(TRANSFORM exported REPLACE "^\\[ *[0-9]+\\] " "")
        list(SORT exported)
        if(NOT exported STREQUAL twelve)
            fail("orv_api.dll exports ${exported}, not ${twelve}")
        endif()
    elseif(name STREQUAL "orv1600-updater.exe")
        orv_delay_imports(${binary} orv_api.dll delayed)
        list(SORT delayed)
        if(NOT delayed STREQUAL twelve)
            fail("the program delay-imports from orv_api.dll ${delayed}, not ${twelve}")
        endif()
    endif()
endforeach()

# The operator's note: a title underlined to its length, and which maker's
# DLL this package takes.
file(GLOB_RECURSE readme ${WORK_DIR}/README.txt)
file(STRINGS ${readme} lines)
list(GET lines 0 title)
list(GET lines 1 underline)
string(LENGTH "${title}" length)
string(REGEX MATCH "=+" rule "${underline}")
string(LENGTH "${rule}" ruled)
if(NOT ruled EQUAL length)
    fail("README.txt: the title's underline is ${ruled} long, the title ${length}")
endif()
if(FORMAT STREQUAL "pei-i386")
    set(bits 32-bit)
else()
    set(bits 64-bit)
endif()
if(NOT lines MATCHES "the maker's ${bits} orv_api.dll")
    fail("README.txt does not say that the package takes the maker's ${bits} orv_api.dll")
endif()

if(failures)
    message(FATAL_ERROR "${ZIP}:${failures}")
endif()
list(LENGTH binaries count)
message(STATUS "${count} programs and libraries, all ${FORMAT}, importing only each other and Windows; "
               "orv_api.dll exports and the program delay-imports the twelve functions by their plain names")
