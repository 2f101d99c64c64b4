#!/usr/bin/env bash
# Builds Quorvane.asi and the release zip twice, from two clones of this checkout's HEAD in two
# differently named folders, one after the other, and fails unless both files are byte for byte
# the same. Also checks what the zip holds. Needs no network: the clones are local.
#   tests/reproducible_build.sh SOURCE_DIR
set -euo pipefail

src=${1:?usage: reproducible_build.sh SOURCE_DIR}
commit=$(git -C "$src" rev-parse HEAD)
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-repro.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Different depths and names, so that a build path leaking into the DLL shows up as a difference.
first="$work/a"
second="$work/second-clone/built/later"

build() {
    local dir=$1
    mkdir -p "$(dirname "$dir")"
    git clone --quiet --no-checkout "$src" "$dir"
    git -C "$dir" -c advice.detachedHead=false checkout --quiet "$commit"
    (cd "$dir" && cmake --preset windows >/dev/null && cmake --build --preset windows --target dist >/dev/null)
}

echo "commit $commit"
build "$first"
sleep 2  # a later second, so that anything stamped with the build time would differ
build "$second"

status=0
for file in build/windows/Quorvane.asi "dist/Quorvane-*.zip"; do
    # shellcheck disable=SC2086 # the zip's version is whatever the project's is: let the glob find it
    a=$(cd "$first" && sha256sum $file)
    b=$(cd "$second" && sha256sum $file)
    echo "first:  $a"
    echo "second: $b"
    if [ "$a" != "$b" ]; then
        echo "DIFFERENT: $file"
        status=1
    fi
done

# The archive holds exactly the five player files, in this order, and its text files have
# Windows line ends throughout.
zip=$(echo "$first"/dist/Quorvane-*.zip)
names=$(unzip -Z1 "$zip" | tr '\n' ' ')
if [ "$names" != "Quorvane.asi Quorvane.ini Quorvane-README.txt Quorvane-CHANGELOG.txt Quorvane-LICENSE.txt " ]; then
    echo "the zip holds: $names"
    status=1
fi
for text in Quorvane.ini Quorvane-README.txt Quorvane-CHANGELOG.txt Quorvane-LICENSE.txt; do
    lines=$(unzip -p "$zip" "$text" | wc -l)
    crlf=$(unzip -p "$zip" "$text" | grep -c $'\r$' || true)
    if [ "$lines" -eq 0 ] || [ "$lines" != "$crlf" ]; then
        echo "$text: $crlf of $lines lines end in CRLF"
        status=1
    fi
done
[ $status -eq 0 ] && echo "identical: Quorvane.asi and $(basename "$zip")"
exit $status
