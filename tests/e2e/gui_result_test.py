#!/usr/bin/env python3
"""A run's result without colour and without looking, on the real ffsload-gui
under Xvfb against ffsload-sim: a green run (customer 1, port 1) and a red one
(customer 2, port 2, a handset that refuses "ti"), driven with the keyboard.

  colours  The run panel's state (PASS ✓ / FAIL ✗) is read off screenshots:
           its capitals at least 40 px tall, and its area, simulated for
           deuteranopia and protanopia, at least 40 L* apart between PASS and
           FAIL, with the word standing out of its own background.
  sounds   A PulseAudio server of the test's own with a null sink; the sink's
           monitor is recorded while each run ends, and PASS and FAIL are told
           apart by the recording's strongest frequency (the chime is high, the
           buzz low); the grid, a PASS and a FAIL tile ending together, is
           heard with both. Then "sound = off" plays nothing, and a station whose
           sound server does not answer runs as before, with one line on
           stderr and no message box.

usage: gui_result_test.py colours|sounds FFSLOAD FFSLOAD_SIM EXAMPLES_DIR [SCREENSHOT_DIR]
With SCREENSHOT_DIR the run panel is saved there as run-state-pass.png and
run-state-fail.png. Exits 77 (skipped) when Xvfb, xdotool or ImageMagick is
missing, or for "sounds" when no PulseAudio server can be started.
"""
import cmath
import math
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import colour_vision  # noqa: E402

PASS_BACKGROUND = (0x9B, 0xE3, 0xA5)
FAIL_BACKGROUND = (0x8B, 0x1A, 0x1A)
# Capitals this tall read at three metres on a 1080p screen.
LEAST_CAP_HEIGHT_PX = 40
# PASS and FAIL must differ in lightness by this much as a red-green colour
# blind operator sees them. 40 L* is the step between, say, a mid grey and a
# light one: the same idea as the contrast rules for text (WCAG's 3:1 for
# large text is about 40 L* at these lightnesses), so that the two read as
# "dark" and "light" at a glance from the fixture, whatever their hue.
LEAST_DELTA_L = 40.0
RECORD_RATE = 16000


class Failure(Exception):
    pass


def have(tool):
    return shutil.which(tool) is not None


class Session:
    """Xvfb, two simulated handsets and a copy of the example station."""

    def __init__(self, ffsload, sim, examples):
        self.ffsload, self.sim, self.examples = ffsload, sim, examples
        self.work = tempfile.mkdtemp(prefix="ffsload-result-")
        self.processes = []
        self.env = dict(os.environ)

    def start(self):
        display_file = os.path.join(self.work, "display")
        with open(display_file, "w") as display:
            xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(display.fileno()), "-screen", "0", "1920x1080x24",
                 "-nolisten", "tcp"],
                pass_fds=(display.fileno(),),
                stderr=open(os.path.join(self.work, "xvfb.err"), "w"))
        self.processes.append(xvfb)
        number = ""
        for _ in range(50):
            with open(display_file) as f:
                number = f.read().strip()
            if number or xvfb.poll() is not None:
                break
            time.sleep(0.1)
        if not number:
            raise Failure("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number
        for key in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "LANG", "LANGUAGE", "LC_ALL"):
            self.env.pop(key, None)
        # A desktop session's runtime folder, as a station's login has one.
        runtime = os.path.join(self.work, "runtime")
        os.makedirs(runtime, mode=0o700)
        self.env["XDG_RUNTIME_DIR"] = runtime
        self.station = os.path.join(self.work, "station")
        shutil.copytree(os.path.join(self.examples, "station"), self.station,
                        ignore=shutil.ignore_patterns("runs*.sqlite*", "run-journal_*", "ports",
                                                      "Download_*", "IMEI*"))
        with open(os.path.join(self.station, "comports"), "w") as f:
            f.write(f"1 {self.work}/port1\n2 {self.work}/port2\n")
        for port, extra in ((1, ["--load", os.path.join(self.examples, "handset")]),
                            (2, ["--fault", "refuse:0x20"])):
            self.processes.append(subprocess.Popen(
                [self.sim, "--link", f"{self.work}/port{port}"] + extra,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        for _ in range(50):
            if all(os.path.exists(f"{self.work}/port{p}") for p in (1, 2)):
                break
            time.sleep(0.1)

    def stop(self):
        for p in reversed(self.processes):
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        shutil.rmtree(self.work, ignore_errors=True)

    def xdotool(self, *args, timeout=20):
        out = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True,
                             timeout=timeout)
        return out.stdout.strip()

    def find_window(self, name):
        found = self.xdotool("search", "--sync", "--onlyvisible", "--name", name, timeout=20)
        if not found:
            raise Failure(f"no window \"{name}\"")
        return found.splitlines()[0]

    def visible_window_names(self):
        ids = self.xdotool("search", "--onlyvisible", "--name", ".*").splitlines()
        names = []
        for i in ids:
            name = subprocess.run(["xdotool", "getwindowname", i], env=self.env,
                                  capture_output=True, text=True).stdout.strip()
            if name:
                names.append(name)
        return names

    def screenshot(self, window):
        """The window as (width, height, pixels)."""
        png = subprocess.run(["import", "-window", window, "png:-"], env=self.env,
                             capture_output=True, check=True).stdout
        ppm = subprocess.run(["convert", "png:-", "-depth", "8", "ppm:-"], input=png,
                             capture_output=True, check=True).stdout
        return png, colour_vision.read_ppm(ppm)

    def run_on_panel(self, customer, port, background, name, env=None, conf=None):
        """One operator session: customer, port, Run; returns the run panel's
        screenshot once the state shows `background`, and the GUI's stderr."""
        conf_path = os.path.join(self.station, "ffsload.conf")
        if conf:
            with open(conf_path, "w") as f:
                f.write(conf)
        elif os.path.exists(conf_path):
            os.remove(conf_path)
        err_path = os.path.join(self.work, f"{name}.err")
        with open(err_path, "w") as err:
            gui = subprocess.Popen([self.ffsload], cwd=self.station, env={**self.env, **(env or {})},
                                   stdout=subprocess.DEVNULL, stderr=err)
        self.processes.append(gui)
        try:
            self.find_window("customer and port")
            time.sleep(0.3)
            self.xdotool("type", str(customer))
            self.xdotool("key", "Return")
            time.sleep(0.2)
            self.xdotool("type", str(port))
            self.xdotool("key", "Return")
            panel = self.find_window("ffsload: run")
            time.sleep(0.3)
            self.xdotool("key", "Return")  # Run has the focus
            shot = None
            for _ in range(120):
                time.sleep(0.5)
                png, shot = self.screenshot(panel)
                if sum(1 for p in shot[2] if p == background) > 5000:
                    break
            else:
                raise Failure(f"{name}: the run's state never showed {background}")
            time.sleep(1.5)  # the end's sound plays out; a box would be up by now
            png, shot = self.screenshot(panel)
            windows = self.visible_window_names()
            self.xdotool("key", "alt+x")
            try:
                status = gui.wait(20)
            except subprocess.TimeoutExpired:
                raise Failure(f"{name}: ffsload did not end after Alt+X")
            if status != 0:
                raise Failure(f"{name}: ffsload ended with status {status}")
        finally:
            if gui.poll() is None:
                gui.kill()
                gui.wait()
        with open(err_path) as f:
            stderr = f.read()
        return png, shot, stderr, windows

    def run_grid(self, env):
        """"ffsload grid" over ports 1 (green) and 2 (red): Run all, until both tiles end."""
        conf_path = os.path.join(self.station, "ffsload.conf")
        if os.path.exists(conf_path):
            os.remove(conf_path)
        with open(os.path.join(self.work, "grid.err"), "w") as err:
            gui = subprocess.Popen([self.ffsload, "grid", "--customer", "2"], cwd=self.station,
                                   env={**self.env, **env}, stdout=subprocess.DEVNULL, stderr=err)
        self.processes.append(gui)
        try:
            window = self.find_window("station grid")
            time.sleep(0.5)
            self.xdotool("windowfocus", "--sync", window)
            self.xdotool("key", "alt+a")  # Run all
            for _ in range(60):
                time.sleep(0.5)
                _, shot = self.screenshot(window)
                if (sum(1 for p in shot[2] if p == PASS_BACKGROUND) > 2000
                        and sum(1 for p in shot[2] if p == FAIL_BACKGROUND) > 2000):
                    break
            else:
                raise Failure("the grid's tiles never showed PASS and FAIL")
            time.sleep(1.5)  # the sounds play out
        finally:
            gui.terminate()
            try:
                gui.wait(20)
            except subprocess.TimeoutExpired:
                gui.kill()
                gui.wait()


def state_area(shot, background):
    """The bounding box (x0, y0, x1, y1) of the state's coloured area."""
    w, _, pixels = shot
    xs, ys = [], []
    for i, p in enumerate(pixels):
        if p == background:
            xs.append(i % w)
            ys.append(i // w)
    return min(xs), min(ys), max(xs) + 1, max(ys) + 1


def crop(shot, box):
    w, _, pixels = shot
    x0, y0, x1, y1 = box
    return [pixels[y * w + x] for y in range(y0, y1) for x in range(x0, x1)]


def first_glyph_height(shot, box, background):
    """The height in pixels of the first letter in the area (a capital: P or F)."""
    w, _, pixels = shot
    inset = 6  # past the area's rounded corners, which are not its colour
    x0, y0, x1, y1 = box[0] + inset, box[1] + inset, box[2] - inset, box[3] - inset

    def ink(x, y):
        p = pixels[y * w + x]
        return sum(abs(a - b) for a, b in zip(p, background)) > 90

    columns = [x for x in range(x0, x1) if any(ink(x, y) for y in range(y0, y1))]
    if not columns:
        raise Failure("no text in the state's area")
    start = end = columns[0]
    while end + 1 in columns:
        end += 1
    rows = [y for y in range(y0, y1) if any(ink(x, y) for x in range(start, end + 1))]
    return max(rows) - min(rows) + 1


def check_colours(session, shots):
    results = {}
    for name, customer, port, background in (("pass", 1, 1, PASS_BACKGROUND),
                                             ("fail", 2, 2, FAIL_BACKGROUND)):
        png, shot, _, _ = session.run_on_panel(customer, port, background, name)
        if shots:
            with open(os.path.join(shots, f"run-state-{name}.png"), "wb") as f:
                f.write(png)
        box = state_area(shot, background)
        cap = first_glyph_height(shot, box, background)
        print(f"{name}: state area {box}, first capital {cap} px tall")
        if cap < LEAST_CAP_HEIGHT_PX:
            raise Failure(f"{name}: the state's capitals are {cap} px tall, "
                          f"fewer than {LEAST_CAP_HEIGHT_PX}")
        results[name] = crop(shot, box)
    for kind in colour_vision.KINDS:
        seen = {name: colour_vision.simulate_pixels(pixels, kind) for name, pixels in results.items()}
        lightness = {name: colour_vision.median_lightness(p) for name, p in seen.items()}
        delta = abs(lightness["pass"] - lightness["fail"])
        print(f"{kind}: PASS L* {lightness['pass']:.1f}, FAIL L* {lightness['fail']:.1f}, "
              f"delta {delta:.1f}")
        if delta < LEAST_DELTA_L:
            raise Failure(f"{kind}: PASS and FAIL are only {delta:.1f} L* apart")
        # The word must stand out of its own area as well: its farthest pixels.
        for name, pixels in seen.items():
            values = [colour_vision.lightness(p) for p in set(pixels)]
            spread = max(abs(v - lightness[name]) for v in values)
            if spread < LEAST_DELTA_L:
                raise Failure(f"{kind}: the {name} word is only {spread:.1f} L* from its background")
    print("ok: PASS and FAIL read apart without colour, in capitals of 40 px or more")


def fft(values):
    n = len(values)
    if n == 1:
        return [complex(values[0])]
    even, odd = fft(values[0::2]), fft(values[1::2])
    out = [0j] * n
    for k in range(n // 2):
        t = cmath.exp(-2j * math.pi * k / n) * odd[k]
        out[k], out[k + n // 2] = even[k] + t, even[k] - t
    return out


SPECTRUM_SIZE = 2048


def spectrum(samples):
    """The summed magnitude spectrum of a recording's loud parts; None when silent."""
    size = SPECTRUM_SIZE
    spectrum = [0.0] * (size // 2)
    loud = 0
    for start in range(0, len(samples) - size, size):
        window = samples[start:start + size]
        if max(abs(s) for s in window) < 1000:
            continue
        loud += 1
        hann = [s * (0.5 - 0.5 * math.cos(2 * math.pi * i / (size - 1))) for i, s in enumerate(window)]
        for k, c in enumerate(fft(hann)[:size // 2]):
            spectrum[k] += abs(c)
    return spectrum if loud else None


def dominant_frequency(samples):
    """The strongest frequency of the loud parts of a recording, in Hz; None when silent."""
    power = spectrum(samples)
    if power is None:
        return None
    peak = max(range(1, len(power)), key=lambda k: power[k])
    return peak * RECORD_RATE / SPECTRUM_SIZE


def band_share(samples, low, high):
    """The share of a recording's loud spectrum between low and high Hz."""
    power = spectrum(samples)
    if power is None:
        return 0.0
    bins = range(int(low * SPECTRUM_SIZE / RECORD_RATE), int(high * SPECTRUM_SIZE / RECORD_RATE) + 1)
    return sum(power[k] for k in bins) / sum(power[1:])


class Recording:
    def __init__(self, session, env, path):
        self.path = path
        self.out = open(path, "wb")
        self.process = subprocess.Popen(
            ["parec", "-d", "ffsload_test.monitor", "--raw", "--format=s16le",
             f"--rate={RECORD_RATE}", "--channels=1", "--latency-msec=20"],
            env={**session.env, **env}, stdout=self.out, stderr=subprocess.DEVNULL)
        time.sleep(0.5)

    def samples(self):
        time.sleep(0.3)
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(5)
        self.out.close()
        with open(self.path, "rb") as f:
            data = f.read()
        data = data[:len(data) // 2 * 2]
        return list(struct.unpack(f"<{len(data) // 2}h", data))


def start_pulse(session):
    """A PulseAudio server of the test's own: its runtime folder, a null sink."""
    run = os.path.join(session.work, "pulse")
    os.makedirs(run, mode=0o700)
    socket = os.path.join(run, "native")
    config = os.path.join(run, "default.pa")
    with open(config, "w") as f:
        f.write(f"load-module module-native-protocol-unix socket={socket} auth-anonymous=1\n"
                f"load-module module-null-sink sink_name=ffsload_test rate=44100 channels=2\n"
                "set-default-sink ffsload_test\n")
    env = {"HOME": run, "XDG_RUNTIME_DIR": run, "XDG_CONFIG_HOME": run, "PULSE_RUNTIME_PATH": run}
    server = subprocess.Popen(
        ["pulseaudio", "-n", "-F", config, "--daemonize=no", "--exit-idle-time=-1",
         "--disable-shm=yes", "--log-target=stderr"],
        env={**session.env, **env}, stdout=subprocess.DEVNULL,
        stderr=open(os.path.join(run, "server.err"), "w"))
    session.processes.append(server)
    client = {"PULSE_SERVER": "unix:" + socket}
    for _ in range(50):
        if server.poll() is not None:
            break
        ready = subprocess.run(["pactl", "info"], env={**session.env, **client},
                               capture_output=True)
        if ready.returncode == 0:
            return client
        time.sleep(0.1)
    with open(os.path.join(run, "server.err")) as f:
        print("skipped: no PulseAudio server could be started: " + f.read().strip()[-300:])
    return None


def check_sounds(session):
    pulse = start_pulse(session)
    if pulse is None:
        return 77
    heard = {}
    for name, customer, port, background in (("pass", 1, 1, PASS_BACKGROUND),
                                             ("fail", 2, 2, FAIL_BACKGROUND)):
        rec = Recording(session, pulse, os.path.join(session.work, f"{name}.raw"))
        _, _, stderr, _ = session.run_on_panel(customer, port, background, name, env=pulse)
        samples = rec.samples()
        heard[name] = dominant_frequency(samples)
        print(f"{name}: recorded {len(samples) / RECORD_RATE:.1f} s, strongest frequency "
              f"{heard[name]} Hz")
        if "no sound" in stderr:
            raise Failure(f"{name}: the GUI found no sound output: {stderr}")
    if heard["pass"] is None or not 700 <= heard["pass"] <= 1200:
        raise Failure(f"the PASS chime was not heard: strongest frequency {heard['pass']}")
    if heard["fail"] is None or not 150 <= heard["fail"] <= 260:
        raise Failure(f"the FAIL buzz was not heard: strongest frequency {heard['fail']}")
    print("ok: PASS and FAIL told apart by their sound alone")

    # The grid: a tile that passes and one that fails at about the same time
    # are both heard, the chime and the buzz.
    rec = Recording(session, pulse, os.path.join(session.work, "grid.raw"))
    session.run_grid(env=pulse)
    samples = rec.samples()
    chime, buzz = band_share(samples, 700, 1200), band_share(samples, 150, 260)
    print(f"grid: chime {chime:.0%}, buzz {buzz:.0%} of what was heard")
    if chime < 0.1 or buzz < 0.1:
        raise Failure(f"the grid's two ends were not both heard: chime {chime:.0%}, buzz {buzz:.0%}")
    print("ok: the grid sounds each tile's end")

    rec = Recording(session, pulse, os.path.join(session.work, "off.raw"))
    _, _, stderr, _ = session.run_on_panel(1, 1, PASS_BACKGROUND, "off", env=pulse,
                                           conf="sound = off\n")
    samples = rec.samples()
    loudest = max((abs(s) for s in samples), default=0)
    if loudest > 200:
        raise Failure(f"sound = off: something played (peak {loudest})")
    if stderr.strip():
        raise Failure(f"sound = off: the GUI said: {stderr}")
    print("ok: sound = off plays nothing")

    gone = {"PULSE_SERVER": "unix:" + os.path.join(session.work, "no-such-server")}
    _, _, stderr, windows = session.run_on_panel(2, 2, FAIL_BACKGROUND, "silent", env=gone)
    said = stderr.splitlines()
    if len(said) != 1 or not said[0].startswith("ffsload: no sound"):
        raise Failure(f"no sound server: expected one line about it, got: {stderr!r}")
    if any(w != "ffsload: run" for w in windows):
        raise Failure(f"no sound server: a window besides the run panel: {windows}")
    print(f"ok: without a sound server the run ends as before, with one line: {said[0]}")
    return 0


def main(argv):
    if len(argv) < 5 or argv[1] not in ("colours", "sounds"):
        print(__doc__, file=sys.stderr)
        return 2
    check = argv[1]
    ffsload, sim, examples = (os.path.abspath(a) for a in argv[2:5])
    shots = os.path.abspath(argv[5]) if len(argv) > 5 else None
    for tool in ("Xvfb", "xdotool", "import", "convert"):
        if not have(tool):
            print(f"skipped: {tool} is not installed")
            return 77
    if check == "sounds":
        for tool in ("pulseaudio", "parec", "pactl"):
            if not have(tool):
                print(f"skipped: {tool} is not installed, so no sound server can be started "
                      "(scripts/setup.sh installs pulseaudio and pulseaudio-utils)")
                return 77
    session = Session(ffsload, sim, examples)
    try:
        session.start()
        if check == "colours":
            check_colours(session, shots)
            return 0
        return check_sounds(session)
    except Failure as failure:
        print(f"FAIL: {failure}", file=sys.stderr)
        return 1
    finally:
        session.stop()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
