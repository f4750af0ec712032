# The Windows program's runtime: what it needs beside it to run on a PC
# with nothing installed, for the build folder's tests, for
# `cmake --install` and for the package.

# One package for each kind of the maker's DLL: 64-bit and 32-bit.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(ORV_WINDOWS_BITS 64)
    set(ORV_PACKAGE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win64)
    set(ORV_PACKAGE_BITS 64-bit)
    set(ORV_OTHER_BITS 32-bit)
    set(ORV_OTHER_PACKAGE ${PROJECT_NAME}-${PROJECT_VERSION}-win32.zip)
else()
    set(ORV_WINDOWS_BITS 32)
    set(ORV_PACKAGE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win32)
    set(ORV_PACKAGE_BITS 32-bit)
    set(ORV_OTHER_BITS 64-bit)
    set(ORV_OTHER_PACKAGE ${PROJECT_NAME}-${PROJECT_VERSION}-win64.zip)
endif()

# The twelve functions of the device library: device/orv_api.def names them
# as a 32-bit import library wants them (name@N); everything else wants the
# plain names.
set(ORV_API_DEF ${PROJECT_SOURCE_DIR}/device/orv_api.def)
file(READ ${ORV_API_DEF} def)
string(REGEX REPLACE "@[0-9]+" "" def "${def}")
set(ORV_API_PLAIN_DEF ${CMAKE_BINARY_DIR}/orv_api-plain.def)
file(CONFIGURE OUTPUT ${ORV_API_PLAIN_DEF} CONTENT "${def}" @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ORV_API_DEF})

# The program loads orv_api.dll at its first call into it, not at its
# start, so that it can first tell the operator in words about a DLL that
# does not fit (app/librarycheck_win.cpp) where the loader would refuse to
# start it. Its calls stay direct calls, through delay imports: the
# linker's with Microsoft's tools, dlltool's delay-import library with
# MinGW's, for the simulated device and the maker's DLL alike.
function(orv_delay_load_device_library target)
    if(MSVC)
        target_link_libraries(${target} PRIVATE orv_api delayimp)
        target_link_options(${target} PRIVATE /DELAYLOAD:orv_api.dll)
        return()
    endif()
    set(library ${CMAKE_BINARY_DIR}/liborv_api_delayed.a)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        # The program calls orvGetAPIVersion@0 and the others by their
        # __stdcall symbols; the DLL exports them by their plain names.
        set(names ${ORV_API_DEF} --kill-at)
    else()
        set(names ${ORV_API_PLAIN_DEF})
    endif()
    add_custom_command(OUTPUT ${library}
        COMMAND ${CMAKE_DLLTOOL} --input-def ${names} --dllname orv_api.dll --output-delaylib ${library}
        DEPENDS ${ORV_API_DEF} ${ORV_API_PLAIN_DEF}
        COMMENT "Making the delay-import library of orv_api.dll")
    add_custom_target(orv_api_delayed DEPENDS ${library})
    add_dependencies(${target} orv_api_delayed)
    # In place of orv_api, after the layers that call it (workers/).
    set_property(TARGET ${target} PROPERTY ORV_DEVICE_LIBRARY ${library})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${library})
endfunction()

# The Qt DLLs and the two plugins the program loads.
set(ORV_QT_RUNTIME $<TARGET_FILE:Qt5::Core> $<TARGET_FILE:Qt5::Gui> $<TARGET_FILE:Qt5::Widgets>
    $<TARGET_FILE:Qt5::Concurrent>)
set(ORV_QT_PLATFORM $<TARGET_FILE:Qt5::QWindowsIntegrationPlugin>)
set(ORV_QT_STYLE $<TARGET_FILE:Qt5::QWindowsVistaStylePlugin>)

# MinGW's own runtime DLLs, which Qt and the program import.
set(ORV_COMPILER_RUNTIME)
if(MINGW)
    foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                        OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(IS_ABSOLUTE "${found}" AND EXISTS "${found}")
            get_filename_component(found "${found}" REALPATH)
            list(APPEND ORV_COMPILER_RUNTIME ${found})
        endif()
    endforeach()
elseif(MSVC)
    set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION .)
    include(InstallRequiredSystemLibraries)
endif()

# Tests of a cross build run under Wine, with the runtime on its search path.
if(CMAKE_CROSSCOMPILING)
    get_target_property(qtcore Qt5::Core IMPORTED_LOCATION_RELEASE)
    set(dirs)
    foreach(dll IN LISTS qtcore ORV_COMPILER_RUNTIME)
        get_filename_component(dir ${dll} DIRECTORY)
        list(APPEND dirs ${dir})
    endforeach()
    # The tests, each in a folder of its own, find the simulated
    # orv_api.dll in the program's.
    list(APPEND dirs ${CMAKE_BINARY_DIR}/bin)
    list(REMOVE_DUPLICATES dirs)
    list(JOIN dirs ":" dirs)
    get_target_property(platform Qt5::QWindowsIntegrationPlugin IMPORTED_LOCATION_RELEASE)
    get_filename_component(plugins ${platform} DIRECTORY)
    get_filename_component(plugins ${plugins} DIRECTORY)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh --bits ${ORV_WINDOWS_BITS}
        --path ${dirs} --plugins ${plugins})
endif()

# The folder an operator unzips: the program and exactly what it loads, the
# release, the rehearsal device while it stands in for the maker's library,
# and a note on all of it. Called once every target exists.
function(orv_windows_package)
    install(TARGETS orv1600-updater RUNTIME DESTINATION .)
    install(FILES ${ORV_QT_RUNTIME} ${ORV_COMPILER_RUNTIME} DESTINATION .)
    # Debian's MinGW runtime comes with its debugging symbols: 20 MB the
    # operator has no use for.
    foreach(dll IN LISTS ORV_COMPILER_RUNTIME)
        get_filename_component(name ${dll} NAME)
        install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                                      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${name}\")")
    endforeach()
    install(FILES ${ORV_QT_PLATFORM} DESTINATION platforms)
    install(FILES ${ORV_QT_STYLE} DESTINATION styles)
    install(FILES ${PROJECT_SOURCE_DIR}/windows/qt.conf DESTINATION .)
    install(FILES ${ORV_RELEASE_IMAGES} ${CMAKE_BINARY_DIR}/release/SHA256SUMS DESTINATION firmware)
    if(ORV_API_ROOT)
        install(FILES ${ORV_API_DLL} DESTINATION .)
        set(readme ${PROJECT_SOURCE_DIR}/windows/README-maker.txt)
    else()
        install(TARGETS orv_api orv-sim RUNTIME DESTINATION .)
        set(readme ${PROJECT_SOURCE_DIR}/windows/README.txt)
    endif()
    set(ORV_README_TITLE "ORV1600 Firmware Updater ${PROJECT_VERSION} for Windows, ${ORV_PACKAGE_BITS}")
    string(LENGTH "${ORV_README_TITLE}" length)
    string(REPEAT "=" ${length} ORV_README_UNDERLINE)
    # Notepad wants CR LF.
    configure_file(${readme} ${CMAKE_BINARY_DIR}/package/README.txt @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${CMAKE_BINARY_DIR}/package/README.txt DESTINATION .)

    set(CPACK_GENERATOR ZIP PARENT_SCOPE)
    set(CPACK_PACKAGE_FILE_NAME ${ORV_PACKAGE_NAME} PARENT_SCOPE)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON PARENT_SCOPE)
    set(CPACK_STRIP_FILES ON PARENT_SCOPE)
    set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR} PARENT_SCOPE)
endfunction()
