# Builds the updater against a stand-in laid out as the maker's folder
# (include/orv_api.h with the maker's own names, lib/ with the library) and
# checks that the program uses it, and nothing of the simulated device.
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -DC_COMPILER=... [-DWINDOWS=ON
#         -DTOOLCHAIN=... -DTRIPLET=... -DQT_PREFIX=... -DOBJDUMP=...] -P check.cmake
function(fail what)
    message(FATAL_ERROR "${what}")
endfunction()

set(standin ${WORK_DIR}/standin)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${standin}/lib)
file(COPY ${SOURCE_DIR}/tests/maker/include DESTINATION ${standin})

if(WINDOWS)
    set(library ${standin}/lib/orv_api.dll)
    set(link -Wl,--out-implib,${standin}/lib/orv_api.lib)
else()
    set(library ${standin}/lib/liborv_api.so)
    set(link -fPIC -fvisibility=hidden)
endif()
execute_process(COMMAND ${C_COMPILER} -shared -I${standin}/include -o ${library}
                        ${SOURCE_DIR}/tests/maker/standin.c ${link}
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    fail("the stand-in library did not build: ${err}")
endif()

# Qt Test is made impossible to find: the maker's build must not need it.
set(configure -S ${SOURCE_DIR} -B ${WORK_DIR}/build -DCMAKE_BUILD_TYPE=Release
    -DORV_API_ROOT=${standin} -DQt5Test_DIR=${WORK_DIR}/no-qt-test)
if(WINDOWS)
    list(APPEND configure -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DORV_MINGW_TRIPLET=${TRIPLET}
         -DCMAKE_PREFIX_PATH=${QT_PREFIX})
endif()
execute_process(COMMAND ${CMAKE_COMMAND} ${configure} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    fail("configuring against the stand-in failed:\n${out}\n${err}")
endif()
if(NOT out MATCHES "will use the maker's device library: ${library}")
    fail("configuring did not say it uses the maker's library:\n${out}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build --target orv1600-updater -j 2
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    fail("building against the maker-style header failed:\n${out}\n${err}")
endif()
foreach(simulator orv-sim orv-sim.exe orv_api.dll.a liborv_api.so.a)
    if(EXISTS ${WORK_DIR}/build/bin/${simulator})
        fail("the maker's build made ${simulator}")
    endif()
endforeach()

if(WINDOWS)
    set(program ${WORK_DIR}/build/bin/orv1600-updater.exe)
    include(${SOURCE_DIR}/tests/windows/delayimports.cmake)
    orv_delay_imports(${program} orv_api.dll delayed)
    list(LENGTH delayed count)
    if(NOT count EQUAL 12)
        fail("the program does not delay-import the twelve functions from orv_api.dll: ${delayed}")
    endif()
    file(SHA256 ${library} expected)
    file(SHA256 ${WORK_DIR}/build/bin/orv_api.dll beside)
    if(NOT beside STREQUAL expected)
        fail("the maker's orv_api.dll is not beside the program")
    endif()
    execute_process(COMMAND ${CMAKE_CPACK_COMMAND} -G ZIP WORKING_DIRECTORY ${WORK_DIR}/build
                    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
    file(GLOB zip ${WORK_DIR}/build/*-win*.zip)
    if(NOT rc EQUAL 0 OR NOT zip)
        fail("the maker's build made no package: ${err}")
    endif()
    file(ARCHIVE_EXTRACT INPUT ${zip} DESTINATION ${WORK_DIR}/package)
    file(GLOB_RECURSE packaged RELATIVE ${WORK_DIR}/package ${WORK_DIR}/package/*)
    if(NOT packaged MATCHES "/orv_api.dll" OR packaged MATCHES "orv-sim")
        fail("the package should hold the maker's orv_api.dll and no simulator: ${packaged}")
    endif()
else()
    execute_process(COMMAND readelf -d ${WORK_DIR}/build/bin/orv1600-updater OUTPUT_VARIABLE needed)
    if(NOT needed MATCHES "NEEDED.*\\[liborv_api.so\\]")
        fail("the program does not link liborv_api.so:\n${needed}")
    endif()
endif()

# A build for the maker's library has a folder of its own, so that it never
# quietly stays a simulator build.
# Without the flags and variables of a make this runs under (make test
# BUILD_DIR=...).
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS --unset=MFLAGS --unset=MAKELEVEL
                        --unset=BUILD_DIR --unset=ORV_API_ROOT
                        make -n -C ${SOURCE_DIR} build CMAKE_FLAGS=-DORV_API_ROOT=${standin}
                OUTPUT_VARIABLE plan)
if(NOT plan MATCHES "-B build-maker .*-DORV_API_ROOT=${standin}")
    fail("make build with -DORV_API_ROOT does not configure a build folder of its own:\n${plan}")
endif()
message(STATUS "built against the maker-style header and the stand-in ${library}")
