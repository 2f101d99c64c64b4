# Sessions recorded by the real Quorvane.asi under Wine replay call for call on Linux: the runner
# plays the record-sessions scenario in a fresh folder, then quorvane-sim --replay reads each
# Quorvane.rec and must replay as many native calls as the game saw, identically.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEDEBUG=-all ${WINE} ${RUNNER} record-sessions ${PLUGIN}
                WORKING_DIRECTORY ${WORK} OUTPUT_VARIABLE recorded RESULT_VARIABLE rc)
message("${recorded}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "recording the sessions under Wine failed")
endif()
foreach(session IN ITEMS line-one line-two refusal)
  if(NOT recorded MATCHES "${session}/Quorvane.rec: ([0-9]+) native calls")
    message(FATAL_ERROR "the runner did not report ${session}")
  endif()
  set(calls ${CMAKE_MATCH_1})
  execute_process(COMMAND ${SIM} --replay ${WORK}/recorded-sessions/${session}/Quorvane.rec
                  OUTPUT_VARIABLE replayed ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${session}: the replay exited ${rc}: ${err}")
  endif()
  if(NOT replayed MATCHES "\n${calls} native calls in [0-9]+ frames replayed: identical")
    message(FATAL_ERROR "${session}: ${calls} calls under Wine, but the replay says:\n${replayed}")
  endif()
  message("${session}: ${calls} native calls recorded under Wine, replayed identically on Linux")
endforeach()
file(REMOVE_RECURSE ${WORK})
