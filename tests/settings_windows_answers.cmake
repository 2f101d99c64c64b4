# Our settings reader against the answers Windows' GetPrivateProfileIntA gave for the same corpus
# (tests/data/profile_corpus.windows, the Windows probe's output under Wine), so that the Linux
# suite alone sees a reader that parts from Windows. wine.settings-match-windows asks Windows live.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${CMAKE_COMMAND} -E make_directory ${WORK})
execute_process(COMMAND ${LINUX_PROBE} ${CORPUS} ${WORK} OUTPUT_VARIABLE ours RESULT_VARIABLE rc)
file(READ ${ANSWERS} windows)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the probe failed: ${rc}")
endif()
if(NOT ours STREQUAL windows)
  string(REPLACE "\n" ";" our_lines "${ours}")
  string(REPLACE "\n" ";" windows_lines "${windows}")
  foreach(line IN LISTS our_lines)
    if(NOT line IN_LIST windows_lines)
      message("ours: ${line}")
    endif()
  endforeach()
  message(FATAL_ERROR "the settings reader differs from Windows' answers (a corpus case added? run "
                      "the Windows profile_probe under Wine into ${ANSWERS})")
endif()
