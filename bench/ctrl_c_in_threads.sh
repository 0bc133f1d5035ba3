#!/usr/bin/env bash
# How soon Ctrl+C stops the Python module's long calls: posteriors on a
# ThreadPoolExecutor's two worker threads (the way docs/cluster.md fits many
# spectra), and one fit of a list of 4000 data sets. The process sends itself
# SIGINT while they run and prints the time from the signal to the
# KeyboardInterrupt in the main thread, and to the pool's end. The aim is
# below 0.2 s.
#
#   bash bench/ctrl_c_in_threads.sh [BUILD]   (default build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
export PYTHONPATH="$build/python"

/usr/bin/python3 - "$root/examples" <<'PY'
import os, signal, sys, threading, time
from concurrent.futures import ThreadPoolExecutor
import numpy as np
import tervane

examples = sys.argv[1]
s = tervane.Autoconvolutions.load(examples + "/start-up.flt")
model, data = examples + "/buried-layer.model.json", examples + "/buried-layer.dat"


def interrupted_after(delay, run):
    sent = []
    timer = threading.Timer(delay, lambda: (sent.append(time.monotonic()), os.kill(os.getpid(), signal.SIGINT)))
    timer.start()
    try:
        run()
    except KeyboardInterrupt:
        return time.monotonic() - sent[0]
    raise SystemExit("the call ended before Ctrl+C")


def pool():
    with ThreadPoolExecutor(max_workers=2) as workers:
        futures = [workers.submit(tervane.fit, autos=s, data=data, model=model, mcmc=10_000_000, seed=k)
                   for k in range(8)]
        for future in futures:
            future.result()


def batch():
    tervane.fit(autos=s, data=[np.loadtxt(data)] * 4000, model=model, errors="covariance", starts=1)


for name, run in [("thread pool", pool), ("batch of 4000", batch)]:
    times = [interrupted_after(delay, run) for delay in (0.5, 1.5, 3.0)]
    print(f"{name}: stopped {', '.join(f'{t:.3f}' for t in times)} s after Ctrl+C")
PY
