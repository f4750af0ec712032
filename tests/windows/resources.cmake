# Compiles the program file's resources with MinGW's windres and checks that
# the icon and the manifest are in them.
execute_process(
    COMMAND ${WINDRES} --preprocessor=cpp ${RC_FILE} -O rc
    WORKING_DIRECTORY ${RC_DIR}
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "windres failed: ${err}")
endif()
foreach(expected "\"IDI_ICON1\" 14" "1 24 /\\* RT_MANIFEST \\*/" "asInvoker" "Microsoft.Windows.Common-Controls" "version=\"\"6.0.0.0\"\"")
    if(NOT out MATCHES "${expected}")
        message(FATAL_ERROR "the compiled resources lack ${expected}")
    endif()
endforeach()
execute_process(
    COMMAND ${WINDRES} --preprocessor=cpp ${RC_FILE} -O coff -o ${OUT_FILE}
    WORKING_DIRECTORY ${RC_DIR} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "windres could not make an object file: ${err}")
endif()
message(STATUS "icon IDI_ICON1 and the asInvoker, common-controls 6.0.0.0 manifest compile")
