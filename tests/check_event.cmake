# Runs the Windows build once under Wine with the event log traced, and fails unless the run
# filed its one event with the outcome word and the exit code. The Wine trace goes to the
# process's own standard error, which only the Linux side can read.
# Variables: WINE, PROGRAM, PACKAGE (the sample package), WORK (a scratch folder).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(GLOB files ${PACKAGE}/*)
file(COPY ${files} DESTINATION ${WORK})
execute_process(COMMAND ${WINE} ${PROGRAM} -c WORKING_DIRECTORY ${WORK}
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
file(REMOVE_RECURSE ${WORK})
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "-c ended with ${rc}:\n${out}\n${err}")
endif()
string(REGEX MATCHALL "ReportEventW" calls "${err}")
list(LENGTH calls count)
# Wine names the call once as a stub and once with its text.
if(NOT count EQUAL 2 OR NOT err MATCHES "ReportEventW L\"Quorvane run ended: shown, exit code 0\\. ")
  message(FATAL_ERROR "no single event for the run:\n${err}")
endif()
