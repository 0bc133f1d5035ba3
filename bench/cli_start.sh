#!/usr/bin/env bash
# The bare start of tervane-cli: "refresh", its cheapest subcommand, timed
# side by side for two builds of the program (for instance one that links the
# desktop's libraries and one that does not), with hyperfine when it is
# installed (apt-get install hyperfine), else with a plain loop.
#
#   bash bench/cli_start.sh OTHER/tervane-cli [build/src/tervane-cli]
set -euo pipefail
before=${1:?"usage: $0 BEFORE-tervane-cli [AFTER-tervane-cli]"}
after=${2:-"$(dirname "$0")/../build/src/tervane-cli"}
arguments="refresh --energy 151 --stopping 548.56 --straggling 6.62"
for program in "$before" "$after"; do
  echo "$program: $(ldd "$program" | grep -ci qt) Qt libraries"
done
if command -v hyperfine >/dev/null; then
  hyperfine -N --warmup 20 --runs 300 -n before "$before $arguments" -n after "$after $arguments"
else
  for program in "$before" "$after"; do
    start=$(date +%s%N)
    for _ in $(seq 300); do "$program" $arguments >/dev/null; done
    echo "$program: $(( ($(date +%s%N) - start) / 300000 )) µs a start"
  done
fi
