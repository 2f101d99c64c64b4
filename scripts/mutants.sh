#!/usr/bin/env bash
# Plants the faults of tests/mutants.txt one at a time and says which the Linux suite catches.
#   scripts/mutants.sh [PATTERN]   only the entries whose line matches PATTERN (grep -E)
# The faults go into a scratch copy of the tree (build/mutants/src), never into the tree itself,
# so an interrupted run leaves nothing to clean up. Each fault is built incrementally there and
# the suite runs without the Wine tests and the slow ones (which build a tree of their own), each
# test under a time limit. A fault in a file that only
# the Windows DLL builds (host/win32_entry.cpp) rebuilds the DLL there instead and runs the Wine
# tests against it.
set -euo pipefail
shopt -u patsub_replacement 2>/dev/null || true  # a '&' in a replacement stays a '&'

top=$(cd "$(dirname "$0")/.." && pwd)
list="$top/tests/mutants.txt"
src="$top/build/mutants/src"
bin="$top/build/mutants/build"
winbin="$top/build/mutants/windows"
pattern=${1:-}
test_timeout=${MUTANT_TEST_TIMEOUT:-120}
mutant_timeout=${MUTANT_TIMEOUT:-900}

# The scratch copy follows the tree, uncommitted edits included; only changed files are copied,
# so the next build stays incremental.
mkdir -p "$src"
cd "$top"
git ls-files --cached --others --exclude-standard -z | while IFS= read -r -d '' f; do
    [ -f "$f" ] || continue
    if ! cmp -s "$f" "$src/$f"; then
        mkdir -p "$src/$(dirname "$f")"
        cp "$f" "$src/$f"
    fi
done

planted=""
restore() {
    if [ -n "$planted" ]; then
        cp "$top/$planted" "$src/$planted"  # a fresh time stamp: the next build recompiles it
        planted=""
    fi
}
trap restore EXIT
trap 'restore; echo; echo "interrupted"; exit 130' INT TERM

build() { cmake --build "$bin" --target quorvane_tests profile_probe >"$bin/mutant-build.log" 2>&1; }
suite() {
    timeout "$mutant_timeout" ctest --test-dir "$bin" -LE 'wine|slow|repro' -j "$(nproc)" --timeout "$test_timeout" \
        --stop-on-failure >"$bin/mutant-test.log" 2>&1
}
first_failure() { grep -m1 -oE '(Test +#[0-9]+: [^ ]+ .*\*\*\*(Failed|Timeout|Exception)[^ ]*)' "$bin/mutant-test.log" |
                  sed -E 's/Test +#[0-9]+: ([^ ]+).*\*\*\*(.*)/\1 (\2)/' || echo "the suite's time limit"; }

# The first build compiles everything (minutes): ninja's step count shows it going, on one line.
first_build() {
    cmake --build "$bin" --target quorvane_tests profile_probe 2>&1 | tee "$bin/mutant-build.log" |
        { grep --line-buffered -oE '^\[[0-9]+/[0-9]+\]' || true; } | while read -r step; do printf '\r  built %s' "$step"; done
    local rc=${PIPESTATUS[0]}
    echo
    return "$rc"
}

windows_only() { [ "$1" = host/win32_entry.cpp ]; }
win_build() {
    cmake --build "$winbin" --target Quorvane quorvane-runner ScriptHookSim ScriptHookMsvc profile_probe \
        >"$bin/mutant-build.log" 2>&1 &&
        cmake --build "$bin" --target quorvane-sim >>"$bin/mutant-build.log" 2>&1
}
win_suite() {
    timeout "$mutant_timeout" ctest --test-dir "$bin" -L wine -j "$(nproc)" --timeout "$test_timeout" \
        --stop-on-failure >"$bin/mutant-test.log" 2>&1
}

cmake -S "$src" -B "$bin" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_WINDOWS_BUILD_DIR="$winbin" >/dev/null
echo "building the unchanged tree and running the suite once..."
first_build || { echo "the unchanged tree does not build: see $bin/mutant-build.log"; exit 1; }
suite || { echo "the suite fails without any fault planted: see $bin/mutant-test.log"; exit 1; }
# The Windows DLL and the Wine tests only when an entry to run needs them.
needs_windows=0
while IFS= read -r f; do
    windows_only "$f" && needs_windows=1
done < <(grep -vE '^(#|$)' "$list" | grep -E -- "${pattern:-.}" | sed 's/ | .*//')
if [ "$needs_windows" -eq 1 ]; then
    echo "building the unchanged Windows DLL and running the Wine tests once..."
    cmake -S "$src" -B "$winbin" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" >/dev/null
    WINEDEBUG=-all wineboot --init >/dev/null 2>&1 || true
    win_build || { echo "the unchanged DLL does not build: see $bin/mutant-build.log"; exit 1; }
    win_suite || { echo "the Wine tests fail without any fault planted: see $bin/mutant-test.log"; exit 1; }
fi

caught=0 survived=0 stale=0 broken=0 number=0
survivors=()
while IFS= read -r line <&3 || [ -n "$line" ]; do
    case "$line" in '#'* | '') continue ;; esac
    number=$((number + 1))
    if [ -n "$pattern" ] && ! grep -qE -- "$pattern" <<<"$line"; then
        continue
    fi
    rest=${line#* | }
    file=${line%% | *}
    text=${rest%% | *}; rest=${rest#* | }
    replacement=${rest%% | *}; why=${rest#* | }
    fields=$(grep -o ' | ' <<<"$line" | wc -l || true)
    text=${text//\\n/$'\n'}
    replacement=${replacement//\\n/$'\n'}
    label=$(printf '%3d %s: %s' "$number" "$file" "$why")

    content=""
    [ -f "$src/$file" ] && content=$(cat "$src/$file"; printf x) && content=${content%x}
    without=${content//"$text"/}
    found=0
    [ -n "$text" ] && found=$(( (${#content} - ${#without}) / ${#text} ))
    if [ "$fields" -ne 3 ] || [ "$found" -ne 1 ]; then
        echo "STALE    $label (the text is found $found times; entries need it exactly once)"
        stale=$((stale + 1))
        continue
    fi

    planted=$file
    printf '%s' "${content/"$text"/"$replacement"}" >"$src/$file"
    if windows_only "$file"; then
        build_one=win_build suite_one=win_suite
    else
        build_one=build suite_one=suite
    fi
    if ! $build_one; then
        echo "NO BUILD $label"
        broken=$((broken + 1))
    elif $suite_one; then
        echo "SURVIVED $label"
        survived=$((survived + 1))
        survivors+=("$label")
    else
        echo "caught   $label, by $(first_failure)"
        caught=$((caught + 1))
    fi
    restore
done 3<"$list"

echo
echo "caught $caught of $((caught + survived)) planted faults; $survived survived, $stale stale, $broken did not build"
for s in "${survivors[@]+"${survivors[@]}"}"; do
    echo "  survived: $s"
done
[ "$stale" -eq 0 ] && [ "$broken" -eq 0 ]
