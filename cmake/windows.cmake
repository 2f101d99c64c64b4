# MinGW build: the real plug-in, plus the simulator as a stand-in script hook DLL and a runner
# that loads Quorvane.asi with LoadLibrary, as the game does.
set(QV_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

add_library(Quorvane SHARED ${QV_PLUGIN_SOURCES} host/win32_entry.cpp)
target_include_directories(Quorvane PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(Quorvane PRIVATE ${QV_WARNINGS} -Werror)
target_compile_definitions(Quorvane PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX PSAPI_VERSION=2)
# Self-contained, and exporting nothing: the script hook finds the script through scriptRegister.
target_link_options(Quorvane PRIVATE ${QV_STATIC_RUNTIME} -Wl,--exclude-all-symbols -s)
set_target_properties(Quorvane PROPERTIES PREFIX "" SUFFIX ".asi" OUTPUT_NAME "Quorvane")

add_library(ScriptHookSim SHARED ${QV_SIM_SOURCES} host/profile_int.cpp sim/win_hook.cpp sim/win_hook.def)
target_include_directories(ScriptHookSim PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(ScriptHookSim PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX QV_HOOK_BUILD)
target_link_options(ScriptHookSim PRIVATE ${QV_STATIC_RUNTIME})
set_target_properties(ScriptHookSim PROPERTIES PREFIX "")

add_executable(quorvane-runner tools/win_runner.cpp)
target_link_options(quorvane-runner PRIVATE ${QV_STATIC_RUNTIME})

add_executable(profile_probe tests/profile_probe.cpp tests/profile_probe_win.cpp)
target_include_directories(profile_probe PRIVATE ${PROJECT_SOURCE_DIR})
target_link_options(profile_probe PRIVATE ${QV_STATIC_RUNTIME})
