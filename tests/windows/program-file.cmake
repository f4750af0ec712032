# Reads back from the built Windows program what an operator's Windows
# relies on: a GUI program (no console window), the icon IDI_ICON1, the
# manifest asking for the invoker's rights and common controls 6.0.0.0,
# and the device library delay-imported as orv_api.dll, the maker's file
# name, so that the program starts without it and can say what is wrong.
#   cmake -DPROGRAM=orv1600-updater.exe -DOBJDUMP=... -P program-file.cmake
include(${CMAKE_CURRENT_LIST_DIR}/delayimports.cmake)
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE headers RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "objdump cannot read ${PROGRAM}")
endif()
if(NOT headers MATCHES "Subsystem[ \t]+00000002[ \t]+\\(Windows GUI\\)")
    message(FATAL_ERROR "not a Windows GUI program")
endif()
orv_delay_imports(${PROGRAM} orv_api.dll delayed)
if(headers MATCHES "DLL Name: orv_api.dll" OR NOT delayed MATCHES "orvGetAPIVersion")
    message(FATAL_ERROR "the device library is not delay-imported as orv_api.dll: ${delayed}")
endif()

# The resources, found in the file's bytes: the manifest is text, and a
# named resource keeps its name in UTF-16.
file(READ ${PROGRAM} bytes HEX)
function(expect what text utf16)
    if(utf16)
        string(HEX "${text}" ascii)
        string(REGEX REPLACE "(..)" "\\100" hex "${ascii}")
    else()
        string(HEX "${text}" hex)
    endif()
    string(FIND "${bytes}" "${hex}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the program file lacks ${what}")
    endif()
endfunction()
expect("the icon IDI_ICON1" "IDI_ICON1" ON)
expect("the manifest's asInvoker" "level=\"asInvoker\"" OFF)
expect("the manifest's common controls" "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"" OFF)
message(STATUS "Windows GUI program with IDI_ICON1, the asInvoker and common-controls 6.0.0.0 manifest, delay-importing orv_api.dll")
