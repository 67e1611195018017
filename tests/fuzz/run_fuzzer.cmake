# Runs one fuzz target for a bounded time over a fresh copy of the seed corpus, so the
# repository's corpus is never modified. Any crash, leak or sanitizer report fails the test.
# Variables: FUZZER, CORPUS (seed folders separated by "|"), WORK, SECONDS, DICT.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/artifacts)
string(REPLACE "|" ";" seeds "${CORPUS}")
foreach(seed ${seeds})
  file(COPY ${seed}/ DESTINATION ${WORK}/corpus)
endforeach()
execute_process(
  COMMAND ${FUZZER} ${WORK}/corpus -max_total_time=${SECONDS} -dict=${DICT}
          -artifact_prefix=${WORK}/artifacts/ -print_final_stats=1
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); see ${WORK}/artifacts")
endif()
