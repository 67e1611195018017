# Unpacks the Windows zip as an administrator would, into a fresh directory with the sample
# package and the substitute flash tool, and runs it under Wine: -c shows the sample's ports,
# the banner names the version of the executable's own resource, and the manifest is there.
# Variables: CPACK, CONFIG (CPackConfig.cmake), WORK, SAMPLE, TOOL, VERSION, DEBUG_FILE (the
# name of the executable's debug information, which goes beside the zip).
function(fail what)
  message(FATAL_ERROR "${what}")
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/out ${WORK}/package)
execute_process(COMMAND ${CPACK} --config ${CONFIG} -B ${WORK}/out RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE out)
set(zip ${WORK}/out/Quorvane-${VERSION}-win64.zip)
if(NOT rc EQUAL 0 OR NOT EXISTS ${zip})
  fail("cpack made no ${zip} (${rc}):\n${out}")
endif()
if(NOT EXISTS ${WORK}/out/${DEBUG_FILE})
  fail("cpack left no ${DEBUG_FILE} beside the zip")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${zip} WORKING_DIRECTORY ${WORK}/package
                RESULT_VARIABLE rc)
file(GLOB shipped RELATIVE ${WORK}/package ${WORK}/package/*)
list(SORT shipped)
if(NOT rc EQUAL 0 OR NOT shipped STREQUAL "Quorvane-admin-guide.txt;Quorvane.exe")
  fail("the zip holds '${shipped}', not the utility and the guide")
endif()
file(READ ${WORK}/package/Quorvane-admin-guide.txt guide)
file(READ ${WORK}/package/Quorvane-admin-guide.txt guide_bytes HEX)
if(NOT guide MATCHES "Quorvane ${VERSION} - guide" OR NOT guide_bytes MATCHES "0d0a")
  fail("the guide does not name version ${VERSION} or lacks CR LF line ends")
endif()
file(STRINGS ${WORK}/package/Quorvane.exe manifest REGEX "asInvoker")
if(NOT manifest)
  fail("Quorvane.exe carries no manifest asking to run as its invoker")
endif()

file(GLOB sample ${SAMPLE}/*)
file(COPY ${sample} ${TOOL} DESTINATION ${WORK}/package)
execute_process(COMMAND wine ${WORK}/package/Quorvane.exe -c WORKING_DIRECTORY ${WORK}/package
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE "\r\n" "\n" out "${out}")
if(NOT rc EQUAL 0)
  fail("Quorvane.exe -c ended with ${rc}:\n${out}${err}")
endif()
if(NOT out MATCHES "Firmware Upgrade Utility for Windows \\(${VERSION}\\)\n")
  fail("the banner does not name version ${VERSION}:\n${out}")
endif()
if(NOT out MATCHES "00:0E:1E:05:00:01 +5:0.1 " OR NOT out MATCHES "ROM +4.0.700 +ROM +4.0.600")
  fail("-c does not show the sample package's ports:\n${out}")
endif()
