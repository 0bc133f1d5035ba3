#!/usr/bin/env bash
# Installs whatever of the build and test dependencies is missing (Debian 12, as root).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libqcustomplot-dev libqcustomplot2.1-qt6
  googletest libgtest-dev libgmock-dev
  libbenchmark-dev libcli11-dev
  libgsl-dev libeigen3-dev nlohmann-json3-dev qt6-svg-dev
  clang libclang-rt-14-dev
  locales
  pybind11-dev python3-dev python3-numpy python3-pytest python3-matplotlib
  slurmctld slurmd slurm-client munge parallel rsync jq
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
