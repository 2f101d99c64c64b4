# A plug-in with one planted change replays a recording of the unchanged one: the fare from
# Benedict Point to MacFarlanes Ranch, 6.50, is made 6.60 in a copy of the source, quorvane-sim is
# built from the copy, and its replay of tests/data/recordings/line-two.rec must stop at the first
# call that shows the new fare (the menu's text) with exit code 1.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${SOURCE}/ DESTINATION ${WORK}/src
     PATTERN ".git" EXCLUDE PATTERN "build" EXCLUDE PATTERN "dist" EXCLUDE)
file(READ ${WORK}/src/data/fares.cpp fares)
string(FIND "${fares}" "F(6.50)" at)
if(at LESS 0)
  message(FATAL_ERROR "the fare to plant a change in is not in data/fares.cpp any more")
endif()
string(REPLACE "{ F(0.0),  F(3.85),  F(6.50)," "{ F(0.0),  F(3.85),  F(6.60)," planted "${fares}")
if(planted STREQUAL fares)
  message(FATAL_ERROR "the row of Benedict Point's fares is not as this test expects")
endif()
file(WRITE ${WORK}/src/data/fares.cpp "${planted}")

execute_process(COMMAND ${CMAKE_COMMAND} -S ${WORK}/src -B ${WORK}/build -G Ninja -DCMAKE_BUILD_TYPE=Release
                OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the planted copy does not configure")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/build --target quorvane-sim OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the planted copy does not build")
endif()

execute_process(COMMAND ${WORK}/build/quorvane-sim --replay ${RECORDING}
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
message("${err}")
if(NOT rc EQUAL 1)
  message(FATAL_ERROR "the replay exited ${rc}, not 1")
endif()
if(NOT err MATCHES "the recording has ComposeText\\(10, \"LITERAL_STRING\", \"[^\"]*MacFarlanes Ranch - 6\\.50\\$"
   OR NOT err MATCHES "the plug-in called ComposeText\\(10, \"LITERAL_STRING\", \"[^\"]*MacFarlanes Ranch - 6\\.60\\$"
   OR NOT err MATCHES "frame [0-9]+, game time [^,]+, call [0-9]+")
  message(FATAL_ERROR "the replay did not stop at the menu line with the planted fare")
endif()
file(REMOVE_RECURSE ${WORK})
message("the planted fare stops the replay at the menu line that shows it")
