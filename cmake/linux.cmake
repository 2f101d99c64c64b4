# Native build: the plug-in as a library linked into the simulator, the tool, tests, benchmarks.
option(QV_SANITIZE "build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(QV_TSAN "build the key-state and menu tests with ThreadSanitizer, and nothing else" OFF)
if(QV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(QV_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
find_package(GTest REQUIRED)
find_package(benchmark REQUIRED)
find_package(CLI11 CONFIG REQUIRED)
find_package(Threads REQUIRED)

add_library(quorvane_plugin STATIC ${QV_PLUGIN_SOURCES} host/posix_platform.cpp host/profile_int.cpp)
target_include_directories(quorvane_plugin PUBLIC ${PROJECT_SOURCE_DIR} ${QV_GENERATED_DIR})
target_compile_options(quorvane_plugin PRIVATE ${QV_WARNINGS} -Werror)

add_library(quorvane_sim STATIC ${QV_SIM_SOURCES} sim/static_plugin.cpp sim/picture.cpp sim/soak.cpp
            sim/visit.cpp sim/replay.cpp)
target_include_directories(quorvane_sim PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(quorvane_sim PUBLIC quorvane_plugin)
target_compile_options(quorvane_sim PRIVATE -Wall -Wextra)

# The ThreadSanitizer build: the tests where a second thread sends key events while the script
# runs, without the allocation counter (its operator new clashes with the sanitizer's runtime).
if(QV_TSAN)
  add_executable(quorvane_tsan_tests tests/keyboard_test.cpp tests/key_thread_test.cpp tests/menu_test.cpp)
  target_link_libraries(quorvane_tsan_tests PRIVATE quorvane_sim GTest::gtest GTest::gtest_main)
  target_compile_definitions(quorvane_tsan_tests PRIVATE QV_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
  enable_testing()
  include(GoogleTest)
  gtest_discover_tests(quorvane_tsan_tests DISCOVERY_TIMEOUT 60)
  return()
endif()

add_executable(quorvane-sim tools/quorvane_sim.cpp tools/replay_command.cpp tools/game_folder.cpp)
target_link_libraries(quorvane-sim PRIVATE quorvane_sim CLI11::CLI11)

add_executable(quorvane-soak tools/quorvane_soak.cpp tools/game_folder.cpp tests/support/alloc_counter.cpp)
target_include_directories(quorvane-soak PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(quorvane-soak PRIVATE quorvane_sim CLI11::CLI11)

add_executable(profile_probe tests/profile_probe.cpp)
target_link_libraries(profile_probe PRIVATE quorvane_plugin)

file(GLOB QV_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/*_test.cpp)
add_executable(quorvane_tests ${QV_TEST_SOURCES} tools/game_folder.cpp tests/support/alloc_counter.cpp)
target_link_libraries(quorvane_tests PRIVATE quorvane_sim GTest::gtest GTest::gtest_main)
target_include_directories(quorvane_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_compile_definitions(quorvane_tests PRIVATE QV_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
                           QV_SIM_TOOL="$<TARGET_FILE:quorvane-sim>" QV_SOAK_TOOL="$<TARGET_FILE:quorvane-soak>"
                           QV_PROJECT_VERSION="${PROJECT_VERSION}")
# The tools' own tests run them as child processes.
add_dependencies(quorvane_tests quorvane-sim quorvane-soak)

file(GLOB QV_BENCH_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/*.cpp)
add_executable(quorvane_bench ${QV_BENCH_SOURCES} tests/support/alloc_counter.cpp)
if(QV_SANITIZE)
  set_target_properties(quorvane_bench PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
target_include_directories(quorvane_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(quorvane_bench PRIVATE quorvane_sim benchmark::benchmark)

enable_testing()
include(GoogleTest)
gtest_discover_tests(quorvane_tests DISCOVERY_TIMEOUT 60)

# End-to-end runs of the real DLL under Wine, from the Windows build next to this one.
set(QV_WINDOWS_BUILD_DIR "${PROJECT_SOURCE_DIR}/build/windows" CACHE PATH "the MinGW build")
find_program(QV_WINE NAMES wine wine64)
set(QV_WINE_RUN ${CMAKE_COMMAND} -E env WINEDEBUG=-all ${QV_WINE})
foreach(scenario IN ITEMS spine-scan-and-prompt spine-inert-without-hook menu-purchase journey-ride
                         settings-from-ini settings-speed-fallback)
  add_test(NAME wine.${scenario}
           COMMAND ${QV_WINE_RUN} ${QV_WINDOWS_BUILD_DIR}/quorvane-runner.exe ${scenario}
                   ${QV_WINDOWS_BUILD_DIR}/Quorvane.asi)
  set_tests_properties(wine.${scenario} PROPERTIES TIMEOUT 120 LABELS wine)
endforeach()
# The runner's own errors: one line each, not a FAIL per check.
add_test(NAME wine.runner-unknown-scenario
         COMMAND ${CMAKE_COMMAND}
                 "-DCOMMAND=${CMAKE_COMMAND}|-E|env|WINEDEBUG=-all|${QV_WINE}|${QV_WINDOWS_BUILD_DIR}/quorvane-runner.exe|no-such-scenario|${QV_WINDOWS_BUILD_DIR}/Quorvane.asi"
                 -DEXIT=2
                 "-DMATCH=unknown scenario 'no-such-scenario'.*menu-purchase.*spine-inert-without-hook"
                 -P ${PROJECT_SOURCE_DIR}/tests/expect_one_line.cmake)
add_test(NAME wine.runner-missing-dll
         COMMAND ${CMAKE_COMMAND}
                 "-DCOMMAND=${CMAKE_COMMAND}|-E|env|WINEDEBUG=-all|${QV_WINE}|${QV_WINDOWS_BUILD_DIR}/quorvane-runner.exe|menu-purchase|${QV_WINDOWS_BUILD_DIR}/NoSuchPlugin.asi"
                 -DEXIT=nonzero
                 "-DMATCH=cannot load .*NoSuchPlugin.asi: Windows error [0-9]+"
                 -P ${PROJECT_SOURCE_DIR}/tests/expect_one_line.cmake)
set_tests_properties(wine.runner-unknown-scenario wine.runner-missing-dll PROPERTIES TIMEOUT 120 LABELS wine)
add_test(NAME wine.settings-match-windows
         COMMAND ${CMAKE_COMMAND}
                 -DWINE=${QV_WINE}
                 -DWINDOWS_PROBE=${QV_WINDOWS_BUILD_DIR}/profile_probe.exe
                 -DLINUX_PROBE=$<TARGET_FILE:profile_probe>
                 -DCORPUS=${PROJECT_SOURCE_DIR}/tests/data/profile_corpus.txt
                 -DWORK=${CMAKE_BINARY_DIR}/profile_work
                 -P ${PROJECT_SOURCE_DIR}/tests/compare_settings.cmake)
set_tests_properties(wine.settings-match-windows PROPERTIES TIMEOUT 120 LABELS wine)
# The same DLL with the second, clang-built hook in the Microsoft ABI: a whole trip, and the
# orders in which a game may load and free the two.
foreach(scenario IN ITEMS msvc-trip msvc-hook-freed-first msvc-plugin-before-hook msvc-two-hooks
                         msvc-unload-in-menu msvc-unload-in-trip)
  add_test(NAME wine.${scenario}
           COMMAND ${QV_WINE_RUN} ${QV_WINDOWS_BUILD_DIR}/quorvane-runner.exe ${scenario}
                   ${QV_WINDOWS_BUILD_DIR}/Quorvane.asi)
  set_tests_properties(wine.${scenario} PROPERTIES TIMEOUT 120 LABELS "wine;msvc-abi")
endforeach()
add_test(NAME wine.msvc-hook-exports-match-plugin
         COMMAND ${CMAKE_COMMAND}
                 -DOBJDUMP=x86_64-w64-mingw32-objdump
                 -DHOOK=${QV_WINDOWS_BUILD_DIR}/ScriptHookMsvc.dll
                 -DDLL=${QV_WINDOWS_BUILD_DIR}/Quorvane.asi
                 -P ${PROJECT_SOURCE_DIR}/tests/check_hook_exports.cmake)
set_tests_properties(wine.msvc-hook-exports-match-plugin PROPERTIES LABELS "wine;msvc-abi")
# Sessions recorded by the real DLL under Wine replay call for call with the linked plug-in.
add_test(NAME wine.record-and-replay
         COMMAND ${CMAKE_COMMAND}
                 -DWINE=${QV_WINE}
                 -DRUNNER=${QV_WINDOWS_BUILD_DIR}/quorvane-runner.exe
                 -DPLUGIN=${QV_WINDOWS_BUILD_DIR}/Quorvane.asi
                 -DSIM=$<TARGET_FILE:quorvane-sim>
                 -DWORK=${CMAKE_BINARY_DIR}/wine_recordings
                 -P ${PROJECT_SOURCE_DIR}/tests/replay_wine_sessions.cmake)
set_tests_properties(wine.record-and-replay PROPERTIES TIMEOUT 300 LABELS wine)
# A plug-in built with one planted change (a fare) stops replaying a recording of the unchanged
# one at the call that shows it. Builds quorvane-sim from a copy of the source, about two minutes:
# -LE slow skips it; CI runs it. Not in the sanitizer build.
if(NOT QV_SANITIZE)
  add_test(NAME replay.planted-fare-stops-the-replay
           COMMAND ${CMAKE_COMMAND}
                   -DSOURCE=${PROJECT_SOURCE_DIR}
                   -DWORK=${CMAKE_BINARY_DIR}/planted
                   -DRECORDING=${PROJECT_SOURCE_DIR}/tests/data/recordings/line-two.rec
                   -P ${PROJECT_SOURCE_DIR}/tests/replay_planted.cmake)
  set_tests_properties(replay.planted-fare-stops-the-replay PROPERTIES TIMEOUT 900 LABELS slow)
endif()
add_test(NAME wine.dll-imports-and-exports
         COMMAND ${CMAKE_COMMAND}
                 -DOBJDUMP=x86_64-w64-mingw32-objdump
                 -DDLL=${QV_WINDOWS_BUILD_DIR}/Quorvane.asi
                 -P ${PROJECT_SOURCE_DIR}/tests/check_dll.cmake)
set_tests_properties(wine.dll-imports-and-exports PROPERTIES LABELS wine)
add_test(NAME wine.dll-version-resource
         COMMAND ${CMAKE_COMMAND}
                 -DOBJDUMP=x86_64-w64-mingw32-objdump
                 -DSTRINGS=x86_64-w64-mingw32-strings
                 -DDLL=${QV_WINDOWS_BUILD_DIR}/Quorvane.asi
                 -DVERSION=${PROJECT_VERSION}
                 -P ${PROJECT_SOURCE_DIR}/tests/check_version_resource.cmake)
set_tests_properties(wine.dll-version-resource PROPERTIES LABELS wine)

# Two clean clones of HEAD build the same DLL and zip. A few minutes on two cores: skip it with
# -LE repro when iterating; CI runs it. Not in the sanitizer build, which has nothing to add here.
if(NOT QV_SANITIZE)
  add_test(NAME repro.dll-and-zip COMMAND bash ${PROJECT_SOURCE_DIR}/tests/reproducible_build.sh ${PROJECT_SOURCE_DIR})
  set_tests_properties(repro.dll-and-zip PROPERTIES TIMEOUT 900 LABELS repro)
endif()

# Fuzzers: libFuzzer, so clang only, and in the sanitizer build.
if(QV_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_executable(host_fuzz fuzz/host_fuzz.cpp)
  target_link_libraries(host_fuzz PRIVATE quorvane_sim)
  target_compile_options(host_fuzz PRIVATE -fsanitize=fuzzer)
  target_link_options(host_fuzz PRIVATE -fsanitize=fuzzer)
  add_executable(recording_fuzz fuzz/recording_fuzz.cpp)
  target_link_libraries(recording_fuzz PRIVATE quorvane_sim)
  target_compile_options(recording_fuzz PRIVATE -fsanitize=fuzzer)
  target_link_options(recording_fuzz PRIVATE -fsanitize=fuzzer)
  add_executable(settings_fuzz fuzz/settings_fuzz.cpp)
  target_link_libraries(settings_fuzz PRIVATE quorvane_plugin)
  target_compile_options(settings_fuzz PRIVATE -fsanitize=fuzzer)
  target_link_options(settings_fuzz PRIVATE -fsanitize=fuzzer)
  # Coverage counters in the code under test, without a second main.
  target_compile_options(quorvane_plugin PRIVATE -fsanitize=fuzzer-no-link)
  target_compile_options(quorvane_sim PRIVATE -fsanitize=fuzzer-no-link)
endif()
# The recording's folder with the real DLL: three sessions keep the last two; an earlier recording
# whose Quorvane.old.rec cannot be replaced stays as it was, the session unrecorded; a hook the
# plug-in cannot hold leaves it inert; a write cut short by a file-size limit leaves a file that
# replays to its last block.
foreach(scenario IN ITEMS recording-keeps-the-last-two recording-old-blocked hook-not-held)
  add_test(NAME wine.${scenario}
           COMMAND ${QV_WINE_RUN} ${QV_WINDOWS_BUILD_DIR}/quorvane-runner.exe ${scenario}
                   ${QV_WINDOWS_BUILD_DIR}/Quorvane.asi)
  # A folder of its own: the Linux run of the same scenario plays in the build folder.
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/wine_${scenario})
  set_tests_properties(wine.${scenario} PROPERTIES TIMEOUT 120 LABELS wine
                       WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/wine_${scenario})
endforeach()
add_test(NAME wine.recording-write-fails
         COMMAND ${CMAKE_COMMAND}
                 -DWINE=${QV_WINE}
                 -DRUNNER=${QV_WINDOWS_BUILD_DIR}/quorvane-runner.exe
                 -DPLUGIN=${QV_WINDOWS_BUILD_DIR}/Quorvane.asi
                 -DSIM=$<TARGET_FILE:quorvane-sim>
                 -DWORK=${CMAKE_BINARY_DIR}/wine_write_fails
                 -P ${PROJECT_SOURCE_DIR}/tests/recording_write_fails.cmake)
set_tests_properties(wine.recording-write-fails PROPERTIES TIMEOUT 300 LABELS wine)
# The same corpus against Windows' answers kept in tests/data: no Wine needed.
add_test(NAME settings.corpus-as-windows-answered
         COMMAND ${CMAKE_COMMAND}
                 -DLINUX_PROBE=$<TARGET_FILE:profile_probe>
                 -DCORPUS=${PROJECT_SOURCE_DIR}/tests/data/profile_corpus.txt
                 -DANSWERS=${PROJECT_SOURCE_DIR}/tests/data/profile_corpus.windows
                 -DWORK=${CMAKE_BINARY_DIR}/profile_answers_work
                 -P ${PROJECT_SOURCE_DIR}/tests/settings_windows_answers.cmake)
