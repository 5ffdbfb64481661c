# Builds one probe and checks the outcome: EXPECT "refused" wants the compiler to miss HEADER,
# anything else wants the probe to build.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(EXPECT STREQUAL "refused")
  if(rc EQUAL 0)
    message(FATAL_ERROR "${TARGET} built: ${HEADER} is reachable against the layers")
  endif()
  string(FIND "${out}" "${HEADER}: No such file or directory" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${TARGET} failed for another reason than ${HEADER}:\n${out}")
  endif()
elseif(NOT rc EQUAL 0)
  message(FATAL_ERROR "${TARGET} should build:\n${out}")
endif()
