# cmake -P cmake/dist.cmake: packs the release archive dist/Quorvane-<VERSION>.zip.
#   -DVERSION=1.0.0 -DSOURCE_DIR=<checkout> -DDLL=<Quorvane.asi> -DSTAGE=<scratch folder>
#   -DOUT_DIR=<where the zip goes>
#
# The same commit must give the same zip bytes on any machine, on any day: every file is touched
# to the commit's time (or SOURCE_DATE_EPOCH when set), given the same mode, and stored in a fixed
# order with zip -X (no owner ids, no extra time fields) under TZ=UTC, because zip writes local
# DOS times.
foreach(var VERSION SOURCE_DIR DLL STAGE OUT_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "dist.cmake needs -D${var}=...")
  endif()
endforeach()

# A changelog that does not start with this version means the release was not written up.
file(STRINGS ${SOURCE_DIR}/packaging/CHANGELOG.txt changelog LIMIT_COUNT 8)
set(first_entry "")
foreach(line IN LISTS changelog)
  if(line MATCHES "^Quorvane ([0-9]+\\.[0-9]+\\.[0-9]+)")
    set(first_entry ${CMAKE_MATCH_1})
    break()
  endif()
endforeach()
if(NOT first_entry STREQUAL VERSION)
  message(FATAL_ERROR "packaging/CHANGELOG.txt must begin with an entry for Quorvane ${VERSION} "
                      "(its first entry is '${first_entry}')")
endif()

if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git log -1 --format=%ct
                  WORKING_DIRECTORY ${SOURCE_DIR}
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE git_rc ERROR_QUIET)
  if(NOT git_rc EQUAL 0 OR epoch STREQUAL "")
    message(FATAL_ERROR "no commit time: build from a git checkout or set SOURCE_DATE_EPOCH")
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be whole seconds since 1970, not '${epoch}'")
endif()

file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE} ${OUT_DIR})

# Text files reach the player with Windows line ends, whatever git checked out.
function(copy_as_crlf from to)
  file(READ ${from} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "@QUORVANE_VERSION@" "${VERSION}" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${to} "${text}")
endfunction()

file(COPY_FILE ${DLL} ${STAGE}/Quorvane.asi)
copy_as_crlf(${SOURCE_DIR}/packaging/Quorvane.ini ${STAGE}/Quorvane.ini)
# Named for the mod: players unzip into the game folder, where another mod's README.txt would be
# overwritten by ours, or ours by theirs.
copy_as_crlf(${SOURCE_DIR}/packaging/README.txt ${STAGE}/Quorvane-README.txt)
copy_as_crlf(${SOURCE_DIR}/packaging/CHANGELOG.txt ${STAGE}/Quorvane-CHANGELOG.txt)
copy_as_crlf(${SOURCE_DIR}/LICENSE ${STAGE}/Quorvane-LICENSE.txt)

set(members Quorvane.asi Quorvane.ini Quorvane-README.txt Quorvane-CHANGELOG.txt Quorvane-LICENSE.txt)
foreach(member IN LISTS members)
  file(CHMOD ${STAGE}/${member} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  execute_process(COMMAND touch -d @${epoch} ${STAGE}/${member} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot set the time of ${member}")
  endif()
endforeach()

# zip adds to an archive that exists; start from nothing.
set(zip ${OUT_DIR}/Quorvane-${VERSION}.zip)
file(REMOVE ${zip})
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -X -D -q ${zip} ${members}
                WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "zip failed (${rc}); is zip installed? scripts/install-deps.sh installs it")
endif()

file(SHA256 ${STAGE}/Quorvane.asi dll_sum)
file(SHA256 ${zip} zip_sum)
file(RELATIVE_PATH zip_shown ${SOURCE_DIR} ${zip})
message("SHA-256 ${dll_sum}  Quorvane.asi")
message("SHA-256 ${zip_sum}  ${zip_shown}")
