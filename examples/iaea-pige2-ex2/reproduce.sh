#!/usr/bin/env bash
# Reproduces Exercise 2 of the IAEA PIGE-II code intercomparison (a narrow
# resonance across a thin Al film) from the exercise's definition alone, with
# tervane-cli, then compares the curves with the published stochastic-theory ones.
#   bash examples/iaea-pige2-ex2/reproduce.sh [path/to/tervane-cli] [output folder]
# Writes <output>/curve-<case>.txt and <output>/doppler.png (tervane-cli plot);
# with python3 also <output>/comparison.md and <output>/comparison.svg (the
# table and figure of docs/validation.md).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../../build/src/tervane-cli}
out=${2:-$here/out}
mkdir -p "$out"

resonance=1683.3   # E_R, keV
lorentzian=100     # the resonance's Gamma, eV: the Lorentzian width is a FWHM
# 5.91e18 Al atoms/cm2 x 26.9815 g/mol / N_A, in ug/cm2.
film=264.79
proton=1.007276
aluminium=26.98153844
field() { sed -n "s/^$1: //p"; }

# Stopping and Bohr straggling at E_R from the composition, as "From target..." gives them.
target=$("$cli" target --composition Al --beam H --energy "$resonance" --straggling bohr)
stopping=$(field "Stopping Power" <<<"$target")
straggling=$(field "Straggling" <<<"$target")

# 1000 points of the proposed step cover 6.4 keV above E_R, the exercise's
# 1682-1688 keV; 300 collisions reach beyond its end.
beam=(--energy "$resonance" --stopping "$stopping" --straggling "$straggling" --points 1000)
step=$("$cli" refresh "${beam[@]}" | field "Step size")
"$cli" autos "${beam[@]}" --nc 300 --out "$out/ex2.flt" >/dev/null
"$cli" profile --out "$out/film.pro" max-depth=300 "line=0,1,$film,1"

# The kernel has no width 0; a quarter of the step moves the curve by exactly
# one step (which its origin accounts for) and broadens nothing.
sharp=$(awk -v s="$step" 'BEGIN { printf "%.17g", s / 4 }')
broadening=(broadening --energy "$resonance" --beam-mass "$proton" --target-mass "$aluminium"
            --temperature 300)
doppler=$("$cli" "${broadening[@]}" | field "Gaussian width")
spreadFwhm=$("$cli" "${broadening[@]}" --beam-fwhm 1000 | field "Gaussian width")
spreadSigma=$("$cli" "${broadening[@]}" --beam-sigma 1000 | field "Gaussian width")

curve() {
  "$cli" curve --autos "$out/ex2.flt" --profile "$out/film.pro" --lorentzian "$lorentzian" \
    --gaussian "$2" --digits 10 --out "$out/curve-$1.txt" "${@:3}"
}
curve no-doppler "$sharp"
# The resonance's whole line: the Lorentzian with its tails, and the
# exercise's own cross-section table.
curve breit-wigner "$sharp" --resonance breit-wigner
curve cross-section "$sharp" --resonance "$here/breit_wigner_r33.csv"
curve doppler "$doppler"
# The published Doppler curve is the participant's own no-Doppler curve
# broadened by a Gaussian of sigma 100 eV (and moved by +27 eV), not by
# sigma_D = 57 eV: the same broadening here, w = 2 sigma = 200 eV.
curve sigma-100 200
curve spread-fwhm "$spreadFwhm"
curve spread-sigma "$spreadSigma"
cat >"$out/inputs.txt" <<INPUTS
stopping $stopping keV/(mg/cm2), straggling $straggling keV/(mg/cm2)^0.5, step $step eV
Gaussian widths (eV): no Doppler $sharp, Doppler $doppler, 1 keV FWHM $spreadFwhm, 1 keV sigma $spreadSigma
INPUTS

# The figure of the Doppler case drawn by tervane-cli plot: the published
# curve as the measured points, the model's curve scaled to the same plateau
# (the mean over 1684.5-1686 keV) through the profile's multiplier.
plateau() {
  awk -F'[ ,\t]+' '$1 + 0 >= 1684.5 && $1 + 0 <= 1686 { s += $2; n++ }
                   END { printf "%.17g", s / n }' "$1"
}
published=$here/stochastic_no_beam_spread_50eV_step.csv
scale=$(awk -v p="$(plateau "$published")" -v m="$(plateau "$out/curve-doppler.txt")" \
  'BEGIN { printf "%.17g", p / m }')
"$cli" profile --in "$out/film.pro" --out "$out/film-scaled.pro" "constants=0,0,$scale" >/dev/null
if "$cli" plot --help >/dev/null 2>&1; then
  "$cli" plot --autos "$out/ex2.flt" --profile "$out/film-scaled.pro" --data "$published" \
    --lorentzian "$lorentzian" --gaussian "$doppler" --out "$out/doppler.png" --size 1600x600
fi

# The table and the figure of every case: compare.py (python3 standard library only).
if command -v python3 >/dev/null; then
  python3 "$here/compare.py" "$here" "$out"
else
  echo "python3 not found: the curves are in $out, the comparison is not made." >&2
fi
