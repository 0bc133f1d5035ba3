#!/usr/bin/env bash
# The README's run command builds the two programs only, then starts the
# desktop program with the arguments it was given. Runs a copy of scripts/ with
# cmake, dpkg-query and the program replaced by recorders.
set -euo pipefail
source=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$source/scripts" "$work/scripts"
mkdir -p "$work/bin" "$work/build/src"
export CALLS=$work/calls
printf '#!/usr/bin/env bash\necho "cmake $*" >>"$CALLS"\n' >"$work/bin/cmake"
printf '#!/usr/bin/env bash\nprintf "install ok installed"\n' >"$work/bin/dpkg-query"
printf '#!/usr/bin/env bash\necho "tervane $*" >>"$CALLS"\n' >"$work/build/src/tervane"
chmod +x "$work/bin/cmake" "$work/bin/dpkg-query" "$work/build/src/tervane"

PATH=$work/bin:$PATH bash "$work/scripts/run.sh" --example

cat "$CALLS"
grep -q -- '^cmake --build build -j [0-9]* --target tervane --target tervane-cli$' "$CALLS"
[ "$(grep -c -- '--build' "$CALLS")" -eq 1 ]
[ "$(tail -n 1 "$CALLS")" = "tervane --example" ]
