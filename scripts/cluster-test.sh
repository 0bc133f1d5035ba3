#!/usr/bin/env bash
# Runs docs/cluster.md's Slurm job array, its GNU parallel lines and (when the
# tervane module is built) its Python recipe, exactly as the document writes
# them, over 8 synthetic spectra, and checks that each writes the results and
# profiles that one local "tervane-cli fit" over all 8 gives. Slurm is a
# one-node cluster of its own (munged, slurmctld and slurmd from Debian's
# packages, every file in a temporary folder, ports above 10000), stopped by
# process id when the script ends. Run as root after build/ has been built
# (scripts/test.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli_dir=$root/build/src
doc=$root/docs/cluster.md
[ -x "$cli_dir/tervane-cli" ] || { echo "build/src/tervane-cli is missing: build first" >&2; exit 1; }

tmp=$(mktemp -d /tmp/tervane-cluster.XXXXXX)
pids=()
job=
# Stops a daemon this script started: SIGTERM, and SIGKILL if it still runs
# 10 s later (an exited child stays a zombie, "Z", until it is waited for).
stop() {
  kill "$1" 2>/dev/null || return 0
  for _ in $(seq 100); do
    [ "$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null || echo Z)" = Z ] && break
    sleep 0.1
  done
  kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
cleanup() {
  local status=$?
  # A job cut short ends its tasks while the controller, the node and munged
  # still run: its steps cannot finish without them.
  if [ -n "$job" ]; then
    scancel "$job" 2>/dev/null || true
    for _ in $(seq 20); do
      [ -z "$(squeue --noheader --jobs="$job" 2>/dev/null)" ] && break
      sleep 0.5
    done
  fi
  # The node, the controller, then munged: the reverse of their start.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do stop "${pids[i]}"; done
  if [ "$status" -ne 0 ]; then
    for log in "$tmp"/slurmctld.log "$tmp"/slurmd.log "$tmp"/fits/logs/*.out; do
      [ -s "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }
    done
  fi
  rm -rf "$tmp"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The first fenced block after the document's heading, as written.
doc_block() {
  awk -v heading="$1" '
    $0 == heading { found = 1; next }
    found && !inside && /^```/ { inside = 1; next }
    inside && /^```/ { exit }
    inside { print }' "$doc"
}

# A port nobody listens on now (the kernel's ephemeral range lies above 10000).
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("", 0)); print(s.getsockname()[1])'
}

work=$tmp/fits
mkdir -p "$work/spectra" "$tmp/reference"
cp "$root/examples/start-up.flt" "$work/set.flt"
cp "$root/examples/buried-layer.model.json" "$work/model.json"
# Eight spectra: the example's counts scaled and drawn again with Poisson
# noise, each from its own fixed seed.
python3 - "$root/examples/buried-layer.dat" "$work/spectra" <<'EOF'
import math, random, sys
rows = [line.split() for line in open(sys.argv[1]) if line.strip()]
for k in range(8):
    draw = random.Random(1000 + k)
    def poisson(mean):
        limit, n, p = math.exp(-mean), 0, draw.random()
        while p > limit:
            n, p = n + 1, p * draw.random()
        return n
    with open(f"{sys.argv[2]}/run{k + 1}.dat", "w") as out:
        for energy, counts in rows:
            out.write(f"{energy} {poisson(float(counts) * (0.7 + 0.1 * k))}\n")
EOF
export PATH=$cli_dir:$PATH
(cd "$work" && tervane-cli fit --autos set.flt --model model.json --data spectra/*.dat \
  --json "$tmp/reference/all.json" --out-profile "$tmp/reference/fit.pro" >/dev/null)
echo "reference: one tervane-cli fit over $(ls "$work"/spectra | wc -l) spectra"

# Every results/NAME.json is the reference's entry for spectra/NAME.dat (its
# "data" aside) to the last bit, every results/NAME.pro (unless the second
# argument is "no-profiles") its fit-NAME.pro byte for byte, and results/
# holds nothing else.
check_results() {
  python3 - "$tmp/reference" "$work/results" "$1" "${2:-}" <<'EOF'
import json, os, sys
reference, results, label, profiles = sys.argv[1:]
profiles = profiles != "no-profiles"
entries = json.load(open(os.path.join(reference, "all.json")))
assert len(entries) == 8, f"{len(entries)} reference results"
expected = set()
for entry in entries:
    name = os.path.basename(entry.pop("data"))[:-len(".dat")]
    expected |= {name + ".json", name + ".pro"} if profiles else {name + ".json"}
    result = json.load(open(os.path.join(results, name + ".json")))
    assert result == entry, f"{label}: results/{name}.json differs from the reference"
    if profiles:
        with open(os.path.join(results, name + ".pro"), "rb") as a, \
             open(os.path.join(reference, f"fit-{name}.pro"), "rb") as b:
            assert a.read() == b.read(), f"{label}: results/{name}.pro differs from the reference"
found = set(os.listdir(results))
assert found == expected, f"{label}: results/ holds {sorted(found ^ expected)} unexpectedly"
print(f"{label}: {len(entries)} results{' and profiles' if profiles else ''} equal the reference")
EOF
  echo "  ($SECONDS s)"
}

# --- Slurm: munged on its own socket and key, then the controller and the node.
mungekey --create --keyfile="$tmp/munge.key"
munged --foreground --force --socket="$tmp/munge.socket" --key-file="$tmp/munge.key" \
  --pid-file="$tmp/munged.pid" --log-file="$tmp/munged.log" --seed-file="$tmp/munged.seed" \
  >"$tmp/munged.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -S "$tmp/munge.socket" ] && break; sleep 0.1; done
munge --socket="$tmp/munge.socket" --no-input | unmunge --socket="$tmp/munge.socket" >/dev/null
echo "munged: credentials encode and decode on its own socket ($SECONDS s)"

host=$(hostname -s)
memory=$(awk '/^MemTotal/ { print int($2 / 2048) }' /proc/meminfo)
mkdir -p "$tmp/state" "$tmp/spool"
# The scheduler starts the next tasks as soon as CPUs are free, rather than
# after its default pause of a few seconds: the array's 20 short tasks then
# take seconds, not a minute.
cat >"$tmp/slurm.conf" <<EOF
ClusterName=tervane-test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
AuthType=auth/munge
AuthInfo=socket=$tmp/munge.socket
CredType=cred/munge
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$tmp/state
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/slurmctld.log
SlurmdLogFile=$tmp/slurmd.log
MailProg=/bin/true
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SlurmdParameters=config_overrides
MpiDefault=none
SchedulerParameters=batch_sched_delay=0,sched_min_interval=0
ReturnToService=2
JobCompType=jobcomp/none
AccountingStorageType=accounting_storage/none
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=$memory State=UNKNOWN
PartitionName=test Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF
export SLURM_CONF=$tmp/slurm.conf
slurmctld -D -f "$SLURM_CONF" >"$tmp/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -f "$SLURM_CONF" >"$tmp/slurmd.out" 2>&1 &
pids+=($!)
state=
for _ in $(seq 60); do
  state=$(sinfo --noheader --format=%t 2>/dev/null || true)
  [ "$state" = idle ] && break
  sleep 0.5
done
[ "$state" = idle ] || { echo "the node is not idle after 30 s: '$state'" >&2; exit 1; }
echo "slurm: one node of $(nproc) CPUs idle ($SECONDS s)"

doc_block "## A Slurm job array" >"$work/job.sh"
grep -q '^#SBATCH --array=' "$work/job.sh"
job=$(cd "$work" && sbatch --parsable job.sh)
echo "slurm: submitted job.sh as job $job"
# Every task's state, until none waits or runs (sbatch --wait polls too seldom).
states=
for _ in $(seq 200); do
  states=$(squeue --noheader --states=all --jobs="$job" --format=%T | sort -u | xargs)
  case "$states" in "" | *PENDING* | *CONFIGURING* | *RUNNING* | *COMPLETING*) sleep 0.5 ;; *) break ;; esac
done
[ "$states" = COMPLETED ] || { echo "job $job ended as: '$states'" >&2; exit 1; }
check_results "sbatch job.sh"
ls "$work"/logs/fit-*.out >/dev/null
rm -rf "$work/results" "$work/logs"

# --- GNU parallel, with a home of its own for its state.
doc_block "## GNU parallel on one machine" >"$tmp/parallel.sh"
grep -q '^parallel ' "$tmp/parallel.sh"
(cd "$work" && HOME=$tmp/home timeout 100 bash -euo pipefail "$tmp/parallel.sh" >/dev/null)
check_results "GNU parallel"
[ "$(grep -c 'tervane-cli fit' "$work/fits.log")" -eq 8 ]
echo "GNU parallel: fits.log lists the 8 fits"

# --- The collection: a line of 7 values for each spectrum, none of them
# missing (jq's @tsv writes a missing value as an empty field).
doc_block "## Collecting the results" >"$tmp/collect.sh"
(cd "$work" && bash -euo pipefail "$tmp/collect.sh")
awk -F '\t' '{ for (i = 1; i <= 7; i++) if ($i == "") bad = 1 }
  NF != 7 || $2 != "true" { bad = 1 } END { exit bad || NR != 8 }' \
  "$work/summary.tsv" || { echo "summary.tsv is incomplete:" >&2; cat "$work/summary.tsv" >&2; exit 1; }
diff <(cut -f1 "$work/summary.tsv") <(ls "$work/spectra" | sed 's/\.dat$//')
echo "jq: summary.tsv holds the 8 converged fits' values"
rm -rf "$work/results" "$work/fits.log"

# --- GNU parallel over ssh, with a stand-in for ssh that runs each command in
# an empty folder of its own, the remote host's home: a fit there finds only
# what --transferfile sent, and only what --return brings back reaches
# results/. GNU parallel also sends and fetches the files through it, with rsync.
mkdir -p "$tmp/remote"
cat >"$tmp/ssh" <<EOF
#!/bin/bash
# ssh [OPTIONS] HOST [--] COMMAND...
while [ "\${1#-}" != "\$1" ]; do shift; done
shift
[ "\${1:-}" = -- ] && shift
# A login through sshd sets the account's shell, name and home: GNU parallel's
# remote wrapper runs the command with \$SHELL, and runs nothing without it.
export SHELL=$(getent passwd "$(id -un)" | cut -d: -f7) USER=$(id -un) LOGNAME=$(id -un)
cd "$tmp/remote" && HOME="$tmp/remote" exec bash -c "\$*"
EOF
chmod +x "$tmp/ssh"
echo remote >"$work/hosts"
doc_block "## GNU parallel over ssh hosts" >"$tmp/parallel-ssh.sh"
grep -q -- '--sshloginfile hosts' "$tmp/parallel-ssh.sh"
(cd "$work" && HOME=$tmp/home PARALLEL_SSH=$tmp/ssh timeout 100 \
  bash -euo pipefail "$tmp/parallel-ssh.sh" >/dev/null)
check_results "GNU parallel over ssh"
[ -z "$(ls -A "$tmp/remote")" ] || { echo "--cleanup left $(ls -A "$tmp/remote")" >&2; exit 1; }
echo "GNU parallel over ssh: nothing left on the remote host"
rm -rf "$work/results"

# --- Python threads, once the tervane module is built beside tervane-cli,
# run by the Debian python3 it is built for (another one first on PATH may lack numpy).
py=$(command -v /usr/bin/python3 || command -v python3)
if PYTHONPATH=$root/build/python "$py" -c 'import tervane' 2>/dev/null; then
  doc_block "## Python on one machine" >"$tmp/fit_all.py"
  (cd "$work" && PYTHONPATH=$root/build/python timeout 100 "$py" "$tmp/fit_all.py" >/dev/null)
  check_results "Python threads" no-profiles
else
  echo "Python threads: build/python holds no tervane module, so that recipe is not run"
fi
