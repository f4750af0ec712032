# Reads back from the built Windows program what an operator's Windows
# relies on: a GUI program (no console window), the icon IDI_ICON1, the
# manifest asking for the invoker's rights and common controls 6.0.0.0,
# and the device library imported as orv_api.dll, the maker's file name.
#   cmake -DPROGRAM=orv1600-updater.exe -DOBJDUMP=... -P program-file.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE headers RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "objdump cannot read ${PROGRAM}")
endif()
if(NOT headers MATCHES "Subsystem[ \t]+00000002[ \t]+\\(Windows GUI\\)")
    message(FATAL_ERROR "not a Windows GUI program")
endif()
if(NOT headers MATCHES "DLL Name: orv_api.dll")
    message(FATAL_ERROR "the device library is not imported as orv_api.dll")
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
message(STATUS "Windows GUI program with IDI_ICON1, the asInvoker and common-controls 6.0.0.0 manifest, importing orv_api.dll")
