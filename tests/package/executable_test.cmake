# The executable as it ships: no debug sections but a link to its debug information, which
# sits beside it; a bounded size; a version resource that names its maker and itself.
# Variables: OBJDUMP, PROGRAM, DEBUG_FILE.
function(fail what)
  message(FATAL_ERROR "${what}")
endfunction()

execute_process(COMMAND ${OBJDUMP} -h ${PROGRAM} OUTPUT_VARIABLE sections RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  fail("${OBJDUMP} -h ${PROGRAM} failed (${rc})")
endif()
if(sections MATCHES "\\.debug_" OR NOT sections MATCHES "\\.gnu_debuglink")
  fail("${PROGRAM} is not stripped to a link to its debug information:\n${sections}")
endif()
execute_process(COMMAND ${OBJDUMP} -h ${DEBUG_FILE} OUTPUT_VARIABLE sections RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT sections MATCHES "\\.debug_info")
  fail("${DEBUG_FILE} holds no debug information (${rc})")
endif()

# What the product weighs once stripped, with room to grow; a debug build or a forgotten
# library would go past it.
set(limit 1572864)
file(SIZE ${PROGRAM} size)
if(size GREATER limit)
  fail("${PROGRAM} is ${size} bytes, more than ${limit}")
endif()

# The resource holds each name, then its value, as UTF-16 texts ending in a NUL, the value
# aligned on four bytes.
function(utf16 text out)
  string(HEX "${text}" hex)
  string(REGEX REPLACE "(..)" "\\100" hex "${hex}")
  set(${out} "${hex}0000" PARENT_SCOPE)
endfunction()
file(READ ${PROGRAM} bytes HEX)
foreach(pair
    "CompanyName=The Quorvane Project"
    "FileDescription=Zelt Orla-Series RavAre P3 Online Firmware Upgrade Utility for Windows"
    "InternalName=Quorvane"
    "LegalCopyright=Copyright (C) 2026 The Quorvane Project. All rights reserved."
    "OriginalFilename=Quorvane.exe"
    "ProductName=Quorvane")
  string(REGEX MATCH "^[^=]+" name "${pair}")
  string(REGEX REPLACE "^[^=]+=" "" value "${pair}")
  utf16("${name}" key)
  utf16("${value}" text)
  string(FIND "${bytes}" "${key}${text}" packed)
  string(FIND "${bytes}" "${key}0000${text}" padded)
  if(packed EQUAL -1 AND padded EQUAL -1)
    fail("the version resource does not give ${name} as '${value}'")
  endif()
endforeach()
