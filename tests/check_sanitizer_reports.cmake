# Empties the sanitizer report folder before the suite (CLEAR) or, after it, fails when any
# process of the suite left a report there, and shows each one.
# Variables: REPORTS, CLEAR.
if(CLEAR)
  file(REMOVE_RECURSE ${REPORTS})
  file(MAKE_DIRECTORY ${REPORTS})
  return()
endif()
file(GLOB reports ${REPORTS}/*)
if(reports)
  foreach(report ${reports})
    file(READ ${report} text)
    message("${report}:\n${text}")
  endforeach()
  list(LENGTH reports count)
  message(FATAL_ERROR "${count} sanitizer report(s) from the suite")
endif()
