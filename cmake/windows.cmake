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

add_library(ScriptHookSim SHARED ${QV_SIM_SOURCES} host/profile_int.cpp sim/win_hook.cpp sim/win_hook.def)
target_include_directories(ScriptHookSim PRIVATE ${PROJECT_SOURCE_DIR} ${QV_GENERATED_DIR})
target_compile_definitions(ScriptHookSim PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX QV_HOOK_BUILD)
target_link_options(ScriptHookSim PRIVATE ${QV_STATIC_RUNTIME})
set_target_properties(ScriptHookSim PROPERTIES PREFIX "")

add_executable(quorvane-runner tools/win_runner.cpp tools/win_load_order.cpp)
target_include_directories(quorvane-runner PRIVATE ${PROJECT_SOURCE_DIR})
target_link_options(quorvane-runner PRIVATE ${QV_STATIC_RUNTIME})

# A second stand-in hook in the Microsoft ABI, from another compiler: clang for the msvc target
# and lld-link, freestanding, with an import library for KERNEL32 made from our own .def. Its
# exports carry the names clang's mangling gives the hook's declarations.
find_program(QV_CLANGXX NAMES clang++ clang++-14 REQUIRED)
find_program(QV_LLD_LINK NAMES lld-link lld-link-14 REQUIRED)
find_program(QV_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
set(QV_MSVC_DIR ${CMAKE_CURRENT_BINARY_DIR}/msvc)
# Its world's stations and trains, from tests/data as the other hook's are, as a freestanding header.
set(QV_MSVC_WORLD_DATA ${QV_GENERATED_DIR}/msvc_world_data.h)
add_custom_command(OUTPUT ${QV_MSVC_WORLD_DATA}
  COMMAND ${CMAKE_COMMAND} -DFREESTANDING=ON -DSTATIONS=${PROJECT_SOURCE_DIR}/tests/data/stations.txt
          -DTRAINS=${PROJECT_SOURCE_DIR}/tests/data/trains.txt -DOUT=${QV_MSVC_WORLD_DATA}
          -P ${PROJECT_SOURCE_DIR}/cmake/world_data.cmake
  DEPENDS tests/data/stations.txt tests/data/trains.txt cmake/world_data.cmake
  COMMENT "The Microsoft-ABI hook's world from tests/data")
set(QV_MSVC_FLAGS --target=x86_64-pc-windows-msvc -std=c++17 -O2 -Wall -Wextra -Werror -ffreestanding
    -fno-exceptions -fno-rtti -fno-math-errno -mno-stack-arg-probe -I${PROJECT_SOURCE_DIR} -I${QV_GENERATED_DIR})
set(QV_MSVC_HEADERS sim/msvc/world.h sim/msvc/win.h sim/msvc/runner_protocol.h sim/call_slots.h)
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/ScriptHookMsvc.dll
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QV_MSVC_DIR}
  COMMAND ${QV_DLLTOOL} -m i386:x86-64 -d ${PROJECT_SOURCE_DIR}/sim/msvc/kernel32.def -l ${QV_MSVC_DIR}/kernel32.lib
  COMMAND ${QV_CLANGXX} ${QV_MSVC_FLAGS} -c ${PROJECT_SOURCE_DIR}/sim/msvc/hook.cpp -o ${QV_MSVC_DIR}/hook.obj
  COMMAND ${QV_CLANGXX} ${QV_MSVC_FLAGS} -c ${PROJECT_SOURCE_DIR}/sim/msvc/world.cpp -o ${QV_MSVC_DIR}/world.obj
  COMMAND ${QV_LLD_LINK} /nologo /dll /nodefaultlib /entry:_DllMainCRTStartup /machine:x64
          /out:${CMAKE_CURRENT_BINARY_DIR}/ScriptHookMsvc.dll ${QV_MSVC_DIR}/hook.obj ${QV_MSVC_DIR}/world.obj
          ${QV_MSVC_DIR}/kernel32.lib
  DEPENDS sim/msvc/hook.cpp sim/msvc/world.cpp ${QV_MSVC_HEADERS} sim/msvc/kernel32.def ${QV_NATIVES_TABLE}
          ${QV_MSVC_WORLD_DATA}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "Building ScriptHookMsvc.dll with clang and lld-link"
  VERBATIM)
add_custom_target(ScriptHookMsvc ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/ScriptHookMsvc.dll)

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
