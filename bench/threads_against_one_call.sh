#!/usr/bin/env bash
# 200 spectra fitted through the Python module (a ThreadPoolExecutor of two
# workers; the module releases the GIL) against one tervane-cli fit of the
# 200 files, which fits them in parallel itself. The spectra are Poisson
# replicas of examples/buried-layer.dat, written to a temporary folder.
#
#   bash bench/threads_against_one_call.sh [BUILD]   (default build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PYTHONPATH="$build/python"
python=/usr/bin/python3

"$python" - "$root/examples" "$work" <<'PY'
import sys
from pathlib import Path
import numpy as np
examples, work = Path(sys.argv[1]), Path(sys.argv[2])
energy, counts = np.loadtxt(examples / "buried-layer.dat", unpack=True)
generator = np.random.default_rng(1)
for k in range(200):
    np.savetxt(work / f"spectrum{k:03d}.dat", np.column_stack([energy, generator.poisson(counts)]),
               fmt=["%.6g", "%d"], delimiter="   ")
PY

start=$(date +%s.%N)
"$build/src/tervane-cli" fit --autos "$root/examples/start-up.flt" --model "$root/examples/buried-layer.model.json" \
  --data "$work"/spectrum*.dat --json "$work/cli.json" >/dev/null 2>&1
cli=$(echo "$(date +%s.%N) - $start" | bc)

"$python" - "$root/examples" "$work" "$cli" <<'PY'
import json, sys, time, warnings
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path
import tervane
examples, work, cli = Path(sys.argv[1]), Path(sys.argv[2]), float(sys.argv[3])
files = sorted(str(f) for f in work.glob("spectrum*.dat"))
model = str(examples / "buried-layer.model.json")
warnings.simplefilter("ignore", tervane.TervaneWarning)

def timed(autos):
    started = time.perf_counter()
    with ThreadPoolExecutor(max_workers=2) as pool:
        results = list(pool.map(lambda f: tervane.fit(autos=autos(), data=f, model=model), files))
    return time.perf_counter() - started, results

flt = str(examples / "start-up.flt")
loaded = tervane.Autoconvolutions.load(flt)
reused, results = timed(lambda: loaded)
reread, _ = timed(lambda: flt)
expected = json.loads((work / "cli.json").read_text())
same = all({**r, "data": f} == e for r, f, e in zip(results, files, expected))
print(f"tervane-cli fit, 200 files:                 {cli:.2f} s")
print(f"Python, 2 threads, the set loaded once:     {reused:.2f} s ({reused / cli:.2f} x the CLI)")
print(f"Python, 2 threads, the .flt read per fit:   {reread:.2f} s ({reread / cli:.2f} x the CLI)")
print(f"results equal to the CLI's JSON: {same}")
PY
