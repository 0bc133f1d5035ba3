#!/usr/bin/env bash
# Makes the example files in examples/ with the program itself: a synthetic
# measured excitation curve (with counting noise) and the profile that explains it.
#   bash scripts/make-examples.sh [path/to/tervane-cli]
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build/src/tervane-cli}
out=examples

# The start-up beam values (151 keV, 548.56, 6.62, AutoStep), 100 collisions.
"$cli" autos --nc 100 --out "$out/start-up.flt"

# A layer of concentration 1 buried from 0.8 to 1.4 ug/cm2 under a 0.2 ug/cm2
# contamination layer. The display constants (shift 0, background 5 counts,
# multiplier 100000 counts per unit) are those of the "measurement" below, so
# loading the profile lays its curve over the points.
"$cli" profile --out "$out/buried-layer.pro" contamination=0.2 line=0.8,1,1.4,1 \
  constants=0,5,100000

# The noise-free curve (as counts), sampled every fifth point between 150.9 and
# 152.3 keV, with Poisson counting noise from a fixed seed.
"$cli" curve --autos "$out/start-up.flt" --profile "$out/buried-layer.pro" \
  --out "$out/.buried-layer.simulation"
awk 'function poisson(mean,   limit, k, p) {
       limit = exp(-mean); k = 0; p = rand()
       while (p > limit) { k++; p *= rand() }
       return k
     }
     BEGIN { srand(7) }
     NR % 5 == 0 && $1 >= 150.9 && $1 <= 152.3 { printf "%.3f   %d\n", $1, poisson($2) }' \
  "$out/.buried-layer.simulation" > "$out/buried-layer.dat"
rm -f "$out/.buried-layer.simulation"

# Two layers of concentration 1, from 0.2 to 0.4 and from 0.55 to 0.75
# ug/cm2: 0.15 apart, closer than the depth resolution at normal incidence.
# One detector (background 5, multiplier 400000) measures them at normal
# incidence and tilted by 70 degrees, where the beam meets the layers along a
# path 1/cos(70) = 2.9238 times as long: the tilted curve is that of the
# layers drawn at their depths times 2.9238. Every fourth point between 150.9
# and 152.5 keV, with Poisson counting noise.
measure() {  # name, profile operations, seed
  "$cli" profile --out "$out/.$1.pro" max-depth=3 $2 constants=0,5,400000
  "$cli" curve --autos "$out/start-up.flt" --profile "$out/.$1.pro" --out "$out/.$1.simulation"
  awk -v seed="$3" 'function poisson(mean,   limit, k, p) {
         limit = exp(-mean); k = 0; p = rand()
         while (p > limit) { k++; p *= rand() }
         return k
       }
       BEGIN { srand(seed) }
       NR % 4 == 0 && $1 >= 150.9 && $1 <= 152.5 { printf "%.3f   %d\n", $1, poisson($2) }' \
    "$out/.$1.simulation" > "$out/$1.dat"
  rm -f "$out/.$1.pro" "$out/.$1.simulation"
}
measure close-layers-0deg "line=0.2025,1,0.4025,1 line=0.5525,1,0.7525,1" 11
measure close-layers-70deg "line=0.5921,1,1.1768,1 line=1.6154,1,2.2002,1" 12
echo "Wrote $out/start-up.flt, $out/start-up.log, $out/buried-layer.pro, $out/buried-layer.dat,"
echo "  $out/close-layers-0deg.dat, $out/close-layers-70deg.dat"
