# The real Quorvane.asi under Wine records a trip while a file-size limit (ulimit -f, with
# SIGXFSZ ignored so that the write fails instead of killing the game) cuts one of its writes
# short. The file must end on its last whole block: quorvane-sim --replay reads it without
# --salvage, replays every record in it and exits 0.
set(limit_kib 150)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/wine_file_limit.sh ${limit_kib} ${WINE}
                        ${RUNNER} recording-write-fails ${PLUGIN}
                WORKING_DIRECTORY ${WORK} OUTPUT_VARIABLE played ERROR_VARIABLE err RESULT_VARIABLE rc)
message("${played}${err}")
if(NOT rc EQUAL 0 OR err MATCHES "could not save")
  message(FATAL_ERROR "the trip under the limit failed (exit ${rc})")
endif()
set(rec ${WORK}/recording-folder/write-fails/Quorvane.rec)
file(SIZE ${rec} size)
math(EXPR limit "${limit_kib} * 1024")
if(size GREATER limit OR size LESS 65536)
  message(FATAL_ERROR "Quorvane.rec is ${size} bytes: not cut at the limit of ${limit} after a block")
endif()
execute_process(COMMAND ${SIM} --replay ${rec} OUTPUT_VARIABLE replayed ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the replay without --salvage exited ${rc}: ${err}")
endif()
if(NOT replayed MATCHES "\n([0-9]+) native calls in [0-9]+ frames replayed: identical")
  message(FATAL_ERROR "the replay says:\n${replayed}")
endif()
message("a ${size}-byte recording cut at ${limit} bytes replays ${CMAKE_MATCH_1} native calls without --salvage")
file(REMOVE_RECURSE ${WORK})
