# MinGW build: the real plug-in, plus the simulator as a stand-in script hook DLL and a runner
# that loads Quorvane.asi with LoadLibrary, as the game does.
set(QV_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

# The same commit gives the same bytes wherever and whenever it is built: no build folder in the
# binaries (assert texts, debug paths) and no link time in the PE header. The build folder lies
# inside the source folder: its map comes last, and the later map wins.
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>
                    $<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=build/>)
add_link_options(-Wl,--no-insert-timestamp)

# The version resource, written from the project's version.
enable_language(RC)
configure_file(${PROJECT_SOURCE_DIR}/cmake/Quorvane.rc.in ${QV_GENERATED_DIR}/Quorvane.rc @ONLY)

add_library(Quorvane SHARED ${QV_PLUGIN_SOURCES} host/win32_entry.cpp ${QV_GENERATED_DIR}/Quorvane.rc)
target_include_directories(Quorvane PRIVATE ${PROJECT_SOURCE_DIR} ${QV_GENERATED_DIR})
target_compile_options(Quorvane PRIVATE ${QV_WARNINGS} -Werror)
target_compile_definitions(Quorvane PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX PSAPI_VERSION=2)
# Self-contained, and exporting nothing: the script hook finds the script through scriptRegister.
target_link_options(Quorvane PRIVATE ${QV_STATIC_RUNTIME} -Wl,--exclude-all-symbols -s)
set_target_properties(Quorvane PROPERTIES PREFIX "" SUFFIX ".asi" OUTPUT_NAME "Quorvane")

add_library(ScriptHookSim SHARED ${QV_SIM_SOURCES} host/profile_int.cpp data/stations.cpp data/trains.cpp
            sim/win_hook.cpp sim/win_hook.def)
target_include_directories(ScriptHookSim PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(ScriptHookSim PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX QV_HOOK_BUILD)
target_link_options(ScriptHookSim PRIVATE ${QV_STATIC_RUNTIME})
set_target_properties(ScriptHookSim PROPERTIES PREFIX "")

add_executable(quorvane-runner tools/win_runner.cpp)
target_link_options(quorvane-runner PRIVATE ${QV_STATIC_RUNTIME})

add_executable(profile_probe tests/profile_probe.cpp tests/profile_probe_win.cpp)
target_include_directories(profile_probe PRIVATE ${PROJECT_SOURCE_DIR})
target_link_options(profile_probe PRIVATE ${QV_STATIC_RUNTIME})

# The release archive: dist/Quorvane-<version>.zip with the DLL and the player's three text files.
add_custom_target(dist
                  COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
                          -DDLL=$<TARGET_FILE:Quorvane> -DSTAGE=${CMAKE_BINARY_DIR}/dist-stage
                          -DOUT_DIR=${PROJECT_SOURCE_DIR}/dist -P ${PROJECT_SOURCE_DIR}/cmake/dist.cmake
                  DEPENDS Quorvane
                  VERBATIM)
