"""The module against tervane-cli: the same inputs give the same numbers to
the last bit, the same refusals and the same warnings."""
import json
import os
import signal
import subprocess
import threading
import time
import warnings
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import numpy as np
import pytest

import tervane

CLI = os.environ["TERVANE_CLI"]
EXAMPLES = Path(os.environ["TERVANE_EXAMPLES_DIR"])
FLT = str(EXAMPLES / "start-up.flt")
PRO = str(EXAMPLES / "buried-layer.pro")
DAT = str(EXAMPLES / "buried-layer.dat")
MODEL = str(EXAMPLES / "buried-layer.model.json")
CROSS_SECTION_AT_1678 = str(EXAMPLES / "iaea-pige2-ex2" / "breit_wigner_r33.csv")


def cli(*arguments, check=True):
    run = subprocess.run([CLI, *map(str, arguments)], capture_output=True, text=True)
    if check:
        assert run.returncode == 0, run.stderr
    return run


def cli_json(tmp_path, *arguments):
    out = tmp_path / "cli.json"
    cli(*arguments, "--json", out)
    return json.loads(out.read_text())


def data_columns(path):
    return tuple(np.loadtxt(path, unpack=True))


# Each argument as a file or as the object in memory.
AUTOS = {"path": lambda: FLT, "object": lambda: tervane.Autoconvolutions.load(FLT)}
DATA = {"path": lambda: DAT, "tuple": lambda: data_columns(DAT)}
MODELS = {"path": lambda: MODEL, "dict": lambda: json.loads(Path(MODEL).read_text())}


@pytest.mark.parametrize("autos,data,model", [
    ("path", "path", "path"),
    ("object", "tuple", "dict"),
])
@pytest.mark.parametrize("options,cli_options", [
    ({}, []),
    ({"errors": "covariance", "starts": 2, "seed": 5}, ["--errors", "covariance", "--starts", 2, "--seed", 5]),
    ({"mcmc": 60, "seed": 3, "errors": "covariance", "starts": 1},
     ["--mcmc", 60, "--seed", 3, "--errors", "covariance", "--starts", 1]),
])
def test_fit_is_the_command_lines(tmp_path, autos, data, model, options, cli_options):
    expected = cli_json(tmp_path, "fit", "--autos", FLT, "--data", DAT, "--model", MODEL, *cli_options)
    result = tervane.fit(autos=AUTOS[autos](), data=DATA[data](), model=MODELS[model](), **options)
    assert result == expected
    assert ("posterior" in result) == ("mcmc" in options)


def test_several_data_sets_give_the_command_lines_array(tmp_path):
    other = tmp_path / "other.dat"
    energy, counts = data_columns(DAT)
    np.savetxt(other, np.column_stack([energy, counts[::-1]]), fmt="%.6g")
    arguments = ["--autos", FLT, "--model", MODEL, "--errors", "covariance", "--starts", 1]
    expected = cli_json(tmp_path, "fit", "--data", DAT, other, *arguments)
    result = tervane.fit(autos=FLT, data=[DAT, str(other)], model=MODEL, errors="covariance", starts=1)
    assert result == expected


def test_a_joint_model_needs_no_set_and_no_data(tmp_path):
    model = EXAMPLES / "close-layers.model.json"
    expected = cli_json(tmp_path, "fit", "--model", model, "--errors", "covariance", "--starts", 1)
    assert tervane.fit(model=str(model), errors="covariance", starts=1) == expected


@pytest.mark.parametrize("alpha", ["auto", 0.5])
def test_invert_is_the_command_lines(tmp_path, alpha):
    expected = cli_json(tmp_path, "invert", "--autos", FLT, "--data", DAT, "--model", MODEL,
                        "--alpha", alpha, "--replicas", 4, "--seed", 2, "--region", "0.5:1.5")
    result = tervane.invert(autos=tervane.Autoconvolutions.load(FLT), data=data_columns(DAT),
                            model=MODEL, alpha=alpha, replicas=4, seed=2, regions=[(0.5, 1.5)])
    assert result == expected


@pytest.mark.parametrize("convolve,gaussian,lorentzian,resonance",
                         [(True, 100, 100, "lorentzian"), (False, 100, 100, "lorentzian"),
                          (True, 250, 40, "lorentzian"), (True, 100, 100, "breit-wigner")])
def test_curve_is_the_command_lines_file(tmp_path, convolve, gaussian, lorentzian, resonance):
    out = tmp_path / "curve.asc"
    cli("curve", "--autos", FLT, "--profile", PRO, "--convolve", "on" if convolve else "off",
        "--gaussian", gaussian, "--lorentzian", lorentzian, "--resonance", resonance,
        "--digits", 17, "--out", out)
    expected = np.loadtxt(out, unpack=True)
    for autos, profile in [(FLT, PRO), (tervane.Autoconvolutions.load(FLT), tervane.Profile.load(PRO))]:
        energy, yield_ = tervane.curve(autos, profile, convolve=convolve, gaussian=gaussian,
                                       lorentzian=lorentzian, resonance=resonance)
        np.testing.assert_array_equal(energy, expected[0])
        np.testing.assert_array_equal(yield_, expected[1])


def test_objects_save_the_command_lines_bytes(tmp_path):
    cli("autos", "--nc", 12, "--points", 300, "--energy", 151, "--out", tmp_path / "cli.flt")
    made = tervane.autos(nc=12, points=300, energy=151)
    made.save(tmp_path / "py.flt")
    for extension in (".flt", ".log"):
        assert (tmp_path / f"py{extension}").read_bytes() == (tmp_path / f"cli{extension}").read_bytes()
    loaded = tervane.Autoconvolutions.load(tmp_path / "py.flt")
    assert (loaded.nc, loaded.points, loaded.entries.shape) == (12, 300, (13, 300))
    # The file keeps each entry's stretch around its peak, in single precision.
    stored = loaded.entries != 0
    assert stored[:, :3].any() and stored.sum() > 300
    np.testing.assert_allclose(loaded.entries[stored], made.entries[stored], rtol=1e-6)

    cli("profile", "--in", PRO, "--out", tmp_path / "cli.pro")
    profile = tervane.Profile.load(PRO)
    drawn = tervane.Profile(step=profile.step, values=profile.values, contamination=profile.contamination,
                            background=profile.background, multiplier=profile.multiplier)
    for saved in (profile, drawn):
        saved.save(tmp_path / "py.pro")
        assert (tmp_path / "py.pro").read_bytes() == (tmp_path / "cli.pro").read_bytes()
    np.testing.assert_array_equal(profile.depth, np.arange(len(profile.values)) * profile.step)


@pytest.mark.parametrize("call,arguments", [
    (lambda d: tervane.fit(autos=FLT, data=str(d / "missing.dat"), model=MODEL),
     ["fit", "--autos", FLT, "--data", "{d}/missing.dat", "--model", MODEL]),
    (lambda d: tervane.fit(autos=FLT, data=DAT, model=str(d / "bad.model.json")),
     ["fit", "--autos", FLT, "--data", DAT, "--model", "{d}/bad.model.json"]),
    (lambda d: tervane.fit(autos=FLT, model=MODEL), ["fit", "--autos", FLT, "--model", MODEL]),
    (lambda d: tervane.fit(autos=FLT, data=DAT, model=MODEL, mcmc="often"),
     ["fit", "--autos", FLT, "--data", DAT, "--model", MODEL, "--mcmc", "often"]),
    (lambda d: tervane.invert(autos=FLT, data=DAT, model=MODEL, alpha="smooth"),
     ["invert", "--autos", FLT, "--data", DAT, "--model", MODEL, "--alpha", "smooth"]),
    (lambda d: tervane.curve(str(d / "missing.flt"), PRO), ["curve", "--autos", "{d}/missing.flt",
                                                            "--profile", PRO, "--out", "{d}/c"]),
    (lambda d: tervane.target("Qq2"), ["target", "--composition", "Qq2"]),
    (lambda d: tervane.Autoconvolutions.load(str(d / "truncated.flt")),
     ["curve", "--autos", "{d}/truncated.flt", "--profile", PRO, "--out", "{d}/c"]),
    (lambda d: tervane.fit(autos=FLT, data=str(d / "negative.dat"), model=MODEL),
     ["fit", "--autos", FLT, "--data", "{d}/negative.dat", "--model", MODEL]),
    (lambda d: tervane.fit(autos=FLT, data=str(d / "huge.dat"), model=MODEL),
     ["fit", "--autos", FLT, "--data", "{d}/huge.dat", "--model", MODEL]),
    (lambda d: tervane.curve(FLT, PRO, resonance=CROSS_SECTION_AT_1678),
     ["curve", "--autos", FLT, "--profile", PRO, "--resonance", CROSS_SECTION_AT_1678, "--out", "{d}/c"]),
])
def test_refusals_raise_the_command_lines_message(tmp_path, call, arguments):
    (tmp_path / "bad.model.json").write_text('{"layers": [{"from": 1}], "colour": 3}')
    (tmp_path / "truncated.flt").write_bytes(Path(FLT).read_bytes()[:100000])
    counts = Path(DAT).read_text().splitlines()
    counts[11] = counts[11].split()[0] + "   -5"
    (tmp_path / "negative.dat").write_text("\n".join(counts))
    counts[11] = counts[11].split()[0] + "   9.5e38"
    (tmp_path / "huge.dat").write_text("\n".join(counts))
    run = cli(*(a.format(d=tmp_path) if isinstance(a, str) else a for a in arguments), check=False)
    assert run.returncode != 0
    # The command line's own check of an option names it and points to --help.
    lines = [line for line in run.stderr.strip().splitlines() if "--help" not in line]
    expected = "\n".join(lines).removeprefix("--mcmc: ")
    with pytest.raises(ValueError) as raised:
        call(tmp_path)
    assert str(raised.value) == expected
    assert not list(tmp_path.glob("c*"))


def deep_profile(d):
    deep = tervane.Profile(step=0.005, values=np.ones(3000), contamination=0.1, multiplier=1000)
    deep.save(d / "deep.pro")
    return FLT, deep, d / "deep.pro"


def set_without_log(d):
    (d / "alone.flt").write_bytes(Path(FLT).read_bytes())
    return str(d / "alone.flt"), PRO, PRO


def test_a_set_without_its_log_loads_without_a_word(tmp_path):
    autos, profile, profile_file = set_without_log(tmp_path)
    run = cli("curve", "--autos", autos, "--profile", profile_file, "--out", tmp_path / "c.asc")
    assert run.stderr == ""
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        tervane.curve(autos, profile)


@pytest.mark.parametrize("inputs", [deep_profile])
def test_warnings_are_tervane_warnings_with_the_command_lines_text(tmp_path, inputs):
    autos, profile, profile_file = inputs(tmp_path)
    run = cli("curve", "--autos", autos, "--profile", profile_file, "--out", tmp_path / "c.asc")
    expected = [line.removeprefix("warning: ") for line in run.stderr.splitlines()]
    assert expected
    with pytest.warns(tervane.TervaneWarning) as caught:
        tervane.curve(autos, profile)
    assert [str(w.message) for w in caught] == expected
    assert issubclass(tervane.TervaneWarning, UserWarning)


@pytest.mark.parametrize("statistic", ["errors", "neyman"])
def test_a_third_column_fits_as_in_the_file(tmp_path, statistic):
    energy, counts = data_columns(DAT)
    sigma = np.sqrt(counts) + 0.5
    np.savetxt(tmp_path / "sigma.dat", np.column_stack([energy, counts, sigma]), fmt="%.9g")
    model = json.loads(Path(MODEL).read_text()) | {"statistic": statistic}
    (tmp_path / "model.json").write_text(json.dumps(model))
    expected = cli_json(tmp_path, "fit", "--autos", FLT, "--data", tmp_path / "sigma.dat",
                        "--model", tmp_path / "model.json", "--errors", "covariance")
    columns = data_columns(tmp_path / "sigma.dat")
    assert tervane.fit(autos=FLT, data=columns, model=model, errors="covariance") == expected


def test_threads_share_one_set(tmp_path):
    energy, counts = data_columns(DAT)
    generator = np.random.default_rng(11)
    files = []
    for k in range(4):
        files.append(tmp_path / f"r{k}.dat")
        np.savetxt(files[-1], np.column_stack([energy, generator.poisson(counts)]), fmt="%.6g")
    expected = cli_json(tmp_path, "fit", "--autos", FLT, "--model", MODEL, "--data", *files)
    shared = tervane.Autoconvolutions.load(FLT)
    with ThreadPoolExecutor(max_workers=2) as pool:
        results = list(pool.map(lambda f: tervane.fit(autos=shared, data=str(f), model=MODEL), files))
    assert [r | {"data": str(f)} for r, f in zip(results, files)] == expected


def test_python_runs_while_a_call_computes():
    ticks = []
    running = threading.Event()
    running.set()

    def tick():
        while running.is_set():
            ticks.append(time.monotonic())
            time.sleep(0.005)

    ticker = threading.Thread(target=tick)
    ticker.start()
    try:
        started = time.monotonic()
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", tervane.TervaneWarning)
            tervane.autos(nc=1500, points=8000)
        ended = time.monotonic()
    finally:
        running.clear()
        ticker.join()
    assert ended - started > 0.2
    during = [started, *(t for t in ticks if started < t < ended), ended]
    # With the GIL held through the calculation the ticker would stall for the whole of it.
    assert max(np.diff(during)) < 0.1


@pytest.mark.parametrize("call", [
    lambda d: tervane.autos(nc=4000, points=6000),
    lambda d: tervane.fit(autos=FLT, data=DAT, model=MODEL, mcmc=10_000_000),
], ids=["autos", "mcmc"])
def test_ctrl_c_stops_a_long_call_at_once(tmp_path, call):
    os.chdir(tmp_path)
    timer = threading.Timer(0.3, os.kill, (os.getpid(), signal.SIGINT))
    started = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        call(tmp_path)
    assert time.monotonic() - started < 0.3 + 0.5
    timer.join()
    assert not list(tmp_path.iterdir())


@pytest.mark.parametrize("call,arguments", [
    (lambda: tervane.target("Al2O3", beam="H", energy=992, straggling="chu"),
     ["target", "--composition", "Al2O3", "--beam", "H", "--energy", 992, "--straggling", "chu"]),
    (lambda: tervane.broadening(energy=992, beam_mass=1.007276, target_mass=26.98153844, beam_fwhm=500),
     ["broadening", "--energy", 992, "--beam-mass", 1.007276, "--target-mass", 26.98153844,
      "--beam-fwhm", 500]),
])
def test_target_figures_are_the_printed_ones(call, arguments):
    printed = [line.split(": ")[1].split()[0] for line in cli(*arguments).stdout.splitlines()]
    assert list(call().values()) == [float(text) for text in printed]
