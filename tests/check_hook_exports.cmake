# The names Quorvane.asi looks the script hook's functions up by must be exactly the names that
# clang's Microsoft mangling gives the hook's declarations (ScriptHookMsvc.dll exports them from
# C++ declarations, never from a hand-written list).
execute_process(COMMAND ${OBJDUMP} -p ${HOOK} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot read ${HOOK}")
endif()
string(REGEX MATCHALL "\\] \\?[A-Za-z0-9_]+@@[^\n]*" exported "${dump}")
list(TRANSFORM exported REPLACE "\\] " "")
list(SORT exported)

# The plug-in keeps the names as text; take every string that looks like a decorated function.
file(STRINGS ${DLL} wanted REGEX "^\\?[A-Za-z0-9_]+@@Y[A-Za-z0-9_@?]+$")
list(SORT wanted)
list(LENGTH wanted n)
if(NOT n EQUAL 9)
  message(FATAL_ERROR "expected the plug-in to look for nine functions, found ${n}: ${wanted}")
endif()
if(NOT exported STREQUAL wanted)
  message(FATAL_ERROR "the plug-in looks for\n  ${wanted}\nthe compiler's mangling gives\n  ${exported}")
endif()
foreach(name IN LISTS wanted)
  message("${name}")
endforeach()
message("the nine names match")
