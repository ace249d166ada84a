# cmake -DBUILD_DIR=... -DCASES="target=expected;..." -P build_probes.cmake
# Builds each probe target; "builds" expects success, a header name expects a
# failure that says the header was not found.
set(failures 0)
foreach(case ${CASES})
  string(REPLACE "=" ";" case "${case}")
  list(GET case 0 target)
  list(GET case 1 expected)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(expected STREQUAL "builds")
    if(NOT result EQUAL 0)
      message(SEND_ERROR "${target} should build:\n${output}")
    endif()
  elseif(result EQUAL 0)
    message(SEND_ERROR "${target} built, yet ${expected} should be out of its sight")
  elseif(NOT output MATCHES "${expected}: No such file or directory")
    message(SEND_ERROR "${target} failed for another reason than a missing ${expected}:\n${output}")
  else()
    message(STATUS "${target}: ${expected} not found, as it should be")
  endif()
endforeach()
