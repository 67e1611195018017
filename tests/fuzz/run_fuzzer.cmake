# Runs one fuzz target for a bounded time over a fresh copy of its corpus, so the repository's
# corpus is never modified. Any crash, leak or sanitizer report fails the test.
# Variables: FUZZER, CORPUS (the seed folders, separated by "|"), KEPT (optional: where
# scripts/fuzz keeps entries found later, when not in the first seed folder), WORK, SECONDS,
# DICT. Only the files directly in each folder are taken. The environment may override SECONDS (QV_FUZZ_SECONDS) and, with QV_FUZZ_KEEP
# set, have the entries that add coverage copied back into the repository's corpus.
if(DEFINED ENV{QV_FUZZ_SECONDS})
  set(SECONDS $ENV{QV_FUZZ_SECONDS})
endif()
get_filename_component(name ${FUZZER} NAME)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/artifacts ${WORK}/corpus ${WORK}/known)
string(REPLACE "|" ";" seeds "${CORPUS}")
set(entries)
foreach(seed ${seeds})
  file(GLOB found LIST_DIRECTORIES false ${seed}/*)
  list(APPEND entries ${found})
endforeach()
list(GET seeds 0 CORPUS)  # where entries are kept when there is no KEPT folder
if(KEPT)
  file(GLOB kept LIST_DIRECTORIES false ${KEPT}/*)
  list(APPEND entries ${kept})
endif()
file(COPY ${entries} DESTINATION ${WORK}/corpus)
file(COPY ${entries} DESTINATION ${WORK}/known)
# Targets that need files make them under TMPDIR, which a crash may leave behind.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${WORK}
          ${FUZZER} ${WORK}/corpus -max_total_time=${SECONDS} -dict=${DICT}
          -artifact_prefix=${WORK}/artifacts/ -print_final_stats=1
  ERROR_FILE ${WORK}/fuzz.log RESULT_VARIABLE result)
file(READ ${WORK}/fuzz.log log)
if(NOT result EQUAL 0)
  message("${log}")
  message(FATAL_ERROR "${name} failed (${result}); see ${WORK}/artifacts")
endif()

# One line of figures: executions, coverage (edges and features) and the corpus reached.
string(REGEX MATCH "stat::number_of_executed_units: ([0-9]+)" _ "${log}")
set(runs ${CMAKE_MATCH_1})
string(REGEX MATCH "DONE +cov: ([0-9]+) ft: ([0-9]+) corp: ([0-9]+)" _ "${log}")
set(summary "${name}: ${runs} runs in ${SECONDS} s, cov ${CMAKE_MATCH_1}, ft ${CMAKE_MATCH_2},")
string(APPEND summary " corpus ${CMAKE_MATCH_3}, crashes 0")

if(DEFINED ENV{QV_FUZZ_KEEP})
  # A merge into what the repository holds adds only the entries that bring new coverage.
  file(GLOB before RELATIVE ${WORK}/known ${WORK}/known/*)
  execute_process(COMMAND ${FUZZER} -merge=1 ${WORK}/known ${WORK}/corpus
                  ERROR_FILE ${WORK}/merge.log RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${name}: merging the corpus failed (${result}); see ${WORK}/merge.log")
  endif()
  file(GLOB after RELATIVE ${WORK}/known ${WORK}/known/*)
  if(before)
    list(REMOVE_ITEM after ${before})
  endif()
  set(destination ${CORPUS})
  if(KEPT)
    set(destination ${KEPT})
  endif()
  file(MAKE_DIRECTORY ${destination})
  foreach(entry ${after})
    file(COPY ${WORK}/known/${entry} DESTINATION ${destination})
  endforeach()
  list(LENGTH after added)
  string(APPEND summary ", ${added} entries kept")
endif()
file(WRITE ${WORK}/summary.txt "${summary}\n")
message("${summary}")
