# A notebook as a plain script (cells start with "# %%"): make a set of
# autoconvolutions, draw noisy replicas of the buried-layer measurement, fit
# every replica and plot the layer's amount with its error bars.
#
#   PYTHONPATH=build/python /usr/bin/python3 examples/notebook.py
# %%
import json
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

import tervane

examples = Path(__file__).resolve().parent

# %% The set of the start-up beam values, as examples/start-up.flt was made.
s = tervane.autos(energy=151, stopping=548.56, straggling=6.62, nc=100, points=1000)
print(f"{s.nc} autoconvolutions of {s.points} points, {s.step:.4g} eV apart")

# %% The true profile: a layer from 0.8 to 1.4 ug/cm2 under 0.2 ug/cm2 of contamination.
true_profile = tervane.Profile.load(examples / "buried-layer.pro")
true_amount = np.sum(true_profile.values[true_profile.depth >= true_profile.contamination]) * true_profile.step
energy, expected = tervane.curve(s, true_profile)

# %% Replicas: the measurement's energies, Poisson counts around the true curve.
measured_energy = np.loadtxt(examples / "buried-layer.dat", usecols=0)
mean_counts = np.interp(measured_energy, energy, expected)
generator = np.random.default_rng(2024)
replicas = [(measured_energy, generator.poisson(mean_counts).astype(float)) for _ in range(24)]

# %% Fit every replica; the module releases the GIL, so two threads fit two at once.
model = json.loads((examples / "buried-layer.model.json").read_text())
with ThreadPoolExecutor(max_workers=2) as pool:
    results = list(pool.map(lambda data: tervane.fit(autos=s, data=data, model=model), replicas))

amounts = np.array([r["derived"]["layer1.amount"]["value"] for r in results])
lower = np.array([r["derived"]["layer1.amount"]["lower"] for r in results])
upper = np.array([r["derived"]["layer1.amount"]["upper"] for r in results])
covered = np.mean((lower <= true_amount) & (true_amount <= upper))
print(f"true amount {true_amount:.4g}; fitted {amounts.mean():.4g} +/- {amounts.std(ddof=1):.2g}; "
      f"{covered:.0%} of the 68.3% intervals hold the true amount")

# %% The amounts with their profile-likelihood intervals.
figure, axes = plt.subplots(figsize=(7, 4))
index = np.arange(len(amounts)) + 1
axes.errorbar(index, amounts, yerr=[amounts - lower, upper - amounts], fmt="o", capsize=3,
              label="fitted amount, 68.3% interval")
axes.axhline(true_amount, color="black", linestyle="--", label="true amount")
axes.set_xlabel("replica")
axes.set_ylabel("layer amount (concentration x ug/cm2)")
axes.legend()
figure.tight_layout()
figure.savefig("notebook-amounts.png", dpi=96)
print("wrote notebook-amounts.png")
