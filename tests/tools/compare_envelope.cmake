# Runs `tarvex envelope --key abc --query x` and compares its output byte for byte.
execute_process(COMMAND ${TARVEX} envelope --key abc --query x
                OUTPUT_VARIABLE actual RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "tarvex envelope exited with ${status}")
endif()
file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "output differs:\n${actual}\nexpected:\n${expected}")
endif()
