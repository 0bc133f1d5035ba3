"""What a notebook user meets: results that carry the command line's files as
arrays, numpy's inputs taken, refusals that name what is wrong, Ctrl+C in a
thread pool, and an installed module that finds its own data."""
import glob
import json
import math
import os
import pickle
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

import numpy as np
import pytest

import tervane
from test_module import CLI, DAT, EXAMPLES, FLT, MODEL, PRO, cli, cli_json, data_columns

JOINT = EXAMPLES / "close-layers.model.json"


def saved_bytes(profile, path):
    profile.save(path)
    return Path(path).read_bytes()


def band_text(band):
    return [["%g" % v for v in row] for row in zip(*band)]


def band_file(path):
    return [line.split() for line in Path(path).read_text().splitlines()]


@pytest.mark.parametrize("model,options,cli_options", [
    (MODEL, {"errors": "covariance", "starts": 1}, ["--errors", "covariance", "--starts", 1]),
    (MODEL, {"errors": "covariance", "starts": 1, "mcmc": 60, "seed": 4},
     ["--errors", "covariance", "--starts", 1, "--mcmc", 60, "--seed", 4]),
    (str(JOINT), {"errors": "covariance", "starts": 1}, ["--errors", "covariance", "--starts", 1]),
], ids=["fit", "posterior", "joint"])
def test_a_fits_arrays_are_the_command_lines_files(tmp_path, model, options, cli_options):
    joint = model == str(JOINT)
    files = [] if joint else ["--autos", FLT, "--data", DAT]
    band = [] if "mcmc" not in options else ["--band", tmp_path / "band.txt"]
    cli("fit", *files, "--model", model, *cli_options, "--out-profile", tmp_path / "cli.pro",
        "--out-curve", tmp_path / "curve.asc", "--digits", 17, *band)
    result = tervane.fit(**({} if joint else {"autos": FLT, "data": DAT}), model=model, **options)

    assert saved_bytes(result.profile, tmp_path / "py.pro") == (tmp_path / "cli.pro").read_bytes()
    loaded = tervane.Profile.load(tmp_path / "cli.pro")  # read back in single precision
    np.testing.assert_array_equal(result.profile.values.astype(np.float32), loaded.values)
    curves = result.curve if joint else {"": result.curve}
    assert len(curves) == (2 if joint else 1)
    for name, (energy, yield_) in curves.items():
        expected = np.loadtxt(tmp_path / (f"curve-{name}.asc" if name else "curve.asc"), unpack=True)
        np.testing.assert_array_equal(energy, expected[0])
        np.testing.assert_array_equal(yield_, expected[1])
    points = result.fitted.values() if joint else [result.fitted]
    assert sum(len(p.energy) for p in points) == result["points"]
    if "mcmc" in options:
        assert band_text(result.band) == band_file(tmp_path / "band.txt")
        assert list(result.samples) == [k for k, v in result["posterior"].items() if isinstance(v, dict)]
        for name, values in result.samples.items():
            low, median, high = np.nanpercentile(values, [16, 50, 84])
            quoted = result["posterior"][name]
            assert abs(median - quoted["median"]) < 0.25 * (quoted["high"] - quoted["low"])
    else:
        assert result.band is None and result.samples is None


def test_the_points_are_the_measured_ones_with_their_fit():
    energy, counts = data_columns(DAT)
    sigma = np.sqrt(counts) + 1.0
    model = json.loads(Path(MODEL).read_text()) | {"statistic": "errors"}
    result = tervane.fit(autos=FLT, data=(energy, counts, sigma), model=model, errors="covariance", starts=1)
    low, high = model["energy_range"]
    taken = (energy >= low) & (energy <= high)
    np.testing.assert_array_equal(result.fitted.energy, energy[taken].astype(np.float32))
    np.testing.assert_array_equal(result.fitted.counts, counts[taken].astype(np.float32))
    fitted = result.fitted
    np.testing.assert_allclose(fitted.residual, (fitted.counts - fitted.fitted) / sigma[taken].astype(np.float32),
                               rtol=1e-12)
    assert np.sum(fitted.residual ** 2) == pytest.approx(result["chi2"], rel=1e-9)


def test_an_inversions_arrays_are_the_command_lines_files(tmp_path):
    cli("invert", "--autos", FLT, "--data", DAT, "--model", MODEL, "--replicas", 4, "--seed", 2,
        "--out-profile", tmp_path / "cli.pro", "--band", tmp_path / "band.txt")
    result = tervane.invert(autos=FLT, data=DAT, model=MODEL, replicas=4, seed=2)
    assert saved_bytes(result.profile, tmp_path / "py.pro") == (tmp_path / "cli.pro").read_bytes()
    assert band_text(result.band) == band_file(tmp_path / "band.txt")
    assert len(result.fitted.energy) == result["points"]
    # Results travel between processes whole (a ProcessPoolExecutor's).
    again = pickle.loads(pickle.dumps(result))
    assert again == result and saved_bytes(again.profile, tmp_path / "again.pro") == (tmp_path / "cli.pro").read_bytes()
    # The dict is the JSON still: json.dump writes the command line's file.
    assert json.loads(json.dumps(result)) == cli_json(tmp_path, "invert", "--autos", FLT, "--data", DAT,
                                                      "--model", MODEL, "--replicas", 4, "--seed", 2)


def joint_in_memory():
    model = json.loads(JOINT.read_text())
    for entry in model["measurements"]:
        entry["autos"] = tervane.Autoconvolutions.load(EXAMPLES / entry["autos"])
        entry["data"] = np.loadtxt(EXAMPLES / entry["data"])
    return model


def numpy_numbers():
    model = json.loads(Path(MODEL).read_text())
    model["max_depth"] = np.int64(4)
    model["step"] = np.float64(0.005)
    model["convolve"] = np.bool_(True)
    model["energy_range"] = np.array([150.9, 152.3])
    return model


# Each is the fit of the same files, given as numpy users hold them.
@pytest.mark.parametrize("arguments,cli_arguments", [
    (lambda: {"autos": FLT, "data": np.loadtxt(DAT), "model": MODEL}, ["--autos", FLT, "--data", DAT, "--model", MODEL]),
    (lambda: {"autos": Path(FLT), "data": np.loadtxt(DAT).T, "model": numpy_numbers()},
     ["--autos", FLT, "--data", DAT, "--model", MODEL]),
    (lambda: {"model": joint_in_memory()}, ["--model", JOINT]),
], ids=["loadtxt", "numpy-numbers", "measurements-in-memory"])
def test_numpy_users_inputs_fit_as_the_files(tmp_path, arguments, cli_arguments):
    expected = cli_json(tmp_path, "fit", *cli_arguments, "--errors", "covariance", "--starts", 1)
    result = tervane.fit(**arguments(), errors="covariance", starts=1)
    assert result == expected
    assert tervane.autos(nc=np.int64(12), points=np.int32(300), energy=np.float64(151)).entries.tobytes() == \
        tervane.autos(nc=12, points=300, energy=151).entries.tobytes()


def measurement_holding(key, value):
    model = joint_in_memory()
    model["measurements"][1][key] = value
    return model


S = tervane.Autoconvolutions.load(FLT)
P = tervane.Profile.load(PRO)
D = np.loadtxt(DAT)
# Every refusal names the keyword or key and what it takes, and never prints the data.
REFUSED = [
    (lambda: tervane.fit(autos=S, data=D, model=MODEL, mcmcm=3), TypeError, ["mcmcm", "mcmc, seed, errors and starts"]),
    (lambda: tervane.fit(autos=S, data=D), TypeError, ["needs model"]),
    (lambda: tervane.fit(S, D, MODEL), TypeError, ["by keyword"]),
    (lambda: tervane.curve(S, P, gaussian="wide"), TypeError, ["gaussian: str", "gaussian: float"]),
    (lambda: tervane.Profile(step=0.1, values=np.ones(5000), bakground=3), TypeError, ["bakground", "background"]),
    (lambda: tervane.curve(S, P, resonance="gauss"), ValueError, ['"gauss"', '"lorentzian", "breit-wigner" or a cross-section file']),
    (lambda: tervane.autos(stopping=math.nan), ValueError, ["stopping: 'nan'"]),
    (lambda: tervane.autos(nc=2.5), ValueError, ["nc: '2.5'"]),
    (lambda: tervane.fit(autos=S, data=np.ones(5), model=MODEL), ValueError, ["data is measured data", "N x 2", "(5,)"]),
    (lambda: tervane.fit(autos=S, data=[D, np.ones((4, 4))], model=MODEL), ValueError, ["data[1] is measured data", "(4, 4)"]),
    (lambda: tervane.fit(autos=P, data=D, model=MODEL), ValueError, ["autos is a Profile", "tervane.Autoconvolutions"]),
    (lambda: tervane.curve(S, S), ValueError, ["profile is a Autoconvolutions", "tervane.Profile"]),
    (lambda: tervane.fit(autos=S, data=D, model=MODEL, seed=-1), ValueError, ["seed: ", "18446744073709551615"]),
    (lambda: tervane.fit(autos=S, data=D, model={"layers": [{"from": 0, "to": 1j}]}), ValueError,
     ["model['layers'][0]['to'] is a complex", "numbers, texts"]),
    (lambda: tervane.fit(model=measurement_holding("autos", P)), ValueError,
     ["model[\"measurements\"][1][\"autos\"] is a Profile", "tervane.Autoconvolutions"]),
    (lambda: tervane.fit(model=measurement_holding("data", np.ones(3))), ValueError,
     ["model[\"measurements\"][1][\"data\"] is measured data"]),
    (lambda: tervane.fit(autos=S, data=D, model=[1, 2]), ValueError, ["model is a list", "a dict"]),
]


@pytest.mark.parametrize("call,error,words", REFUSED)
def test_refusals_name_what_is_wrong_without_the_data(call, error, words):
    with pytest.raises(error) as raised:
        call()
    message = str(raised.value)
    for word in words:
        assert word in message
    assert "array(" not in message and "Invoked with" not in message and len(message) < 400


CHILD = """
import os, sys, time, numpy as np, tervane
from concurrent.futures import ThreadPoolExecutor
examples = sys.argv[1]
s = tervane.Autoconvolutions.load(examples + "/start-up.flt")
model, data = examples + "/buried-layer.model.json", examples + "/buried-layer.dat"
def posterior(seed):
    return tervane.fit(autos=s, data=data, model=model, mcmc=10_000_000, seed=seed, errors="covariance")
try:
    if sys.argv[2] == "pool":
        with ThreadPoolExecutor(max_workers=2) as pool:
            futures = [pool.submit(posterior, k) for k in range(6)]
            print("running", flush=True)
            for future in futures: future.result()
    else:
        print("running", flush=True)
        tervane.fit(autos=s, data=[np.loadtxt(data)] * 4000, model=model, errors="covariance", starts=1)
    print("finished", flush=True)
except KeyboardInterrupt:
    # A pool started afresh runs: only what was queued at Ctrl+C stops.
    with ThreadPoolExecutor(max_workers=2) as pool:
        pool.submit(tervane.fit, autos=s, data=data, model=model, errors="covariance", starts=1).result()
    print("interrupted", flush=True)
"""


@pytest.mark.parametrize("kind", ["pool", "batch"])
def test_ctrl_c_stops_a_thread_pool_and_a_batch(kind):
    child = subprocess.Popen([sys.executable, "-c", CHILD, str(EXAMPLES), kind],
                             stdout=subprocess.PIPE, text=True)
    assert child.stdout.readline().strip() == "running"
    time.sleep(1.0)
    sent = time.monotonic()
    child.send_signal(signal.SIGINT)
    out, _ = child.communicate(timeout=60)
    # Before, the pool ran on for tens of seconds and the batch for several;
    # bench/ctrl_c_in_threads.sh measures the stop itself (within 0.2 s).
    assert out.strip() == "interrupted"
    assert time.monotonic() - sent < 4.0


def test_an_installed_module_reads_the_installed_data(tmp_path):
    build = os.environ["TERVANE_BUILD_DIR"]
    for component in ("python", "data"):
        subprocess.run([os.environ["TERVANE_CMAKE"], "--install", build, "--component", component],
                       env=os.environ | {"DESTDIR": str(tmp_path)}, check=True, capture_output=True)
    [module] = glob.glob(str(tmp_path / "**" / "tervane*.so"), recursive=True)
    [table] = glob.glob(str(tmp_path / "**" / "share" / "tervane" / "stopping" / "proton_elements.csv"),
                        recursive=True)
    Path(table).write_text(Path(table).read_text().replace("1,H,1.00794,", "1,H,x,"))
    run = "import tervane; print(tervane.__file__); print(tervane.target('Al2O3'))"
    environment = os.environ | {"PYTHONPATH": str(Path(module).parent)}
    environment.pop("TERVANE_DATA_DIR", None)
    installed = subprocess.run([sys.executable, "-c", run], env=environment, capture_output=True, text=True)
    assert installed.stdout.startswith(module)
    assert table in installed.stderr  # the installed table, not the source tree's, is read
    environment["TERVANE_DATA_DIR"] = str(EXAMPLES.parent / "data")
    chosen = subprocess.run([sys.executable, "-c", run], env=environment, capture_output=True, text=True)
    assert chosen.returncode == 0, chosen.stderr
    version = re.search(r"project\(Tervane VERSION ([\d.]+)", (EXAMPLES.parent / "CMakeLists.txt").read_text())
    assert tervane.__version__ == version.group(1)
