#!/usr/bin/env python3
"""The line board in a real browser: real runs of ffsload against ffsload-sim
fill a station's records, "ffsload board" serves them, and headless Chromium
shows what a supervisor sees: the cards, a red card's failed line, a hostile
script name as plain text, a card that turns running and then green while
the page stays open, and the red banner once the records file is deleted; and the page in Chinese
(Accept-Language zh-CN) and Vietnamese (?lang=vi), board_languages.py.
Ends with the board stopped by SIGTERM.

usage: board_browser_test.py FFSLOAD FFSLOAD_SIM EXAMPLES_DIR [SCREENSHOT_DIR]
With SCREENSHOT_DIR the page is saved there as board.png while a run is under
way, and board-zh_CN.png, board-vi.png (wide) and board-zh_CN-narrow.png,
board-vi-narrow.png (narrow, the whole page) while port 3 runs. Exits 77
(skipped) when Chromium is not installed.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import board_languages  # noqa: E402
import devtools  # noqa: E402

HOSTILE = "<script>boom.tms"


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def main(argv):
    if len(argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    ffsload, sim, examples = (os.path.abspath(a) for a in argv[1:4])
    shots = os.path.abspath(argv[4]) if len(argv) > 4 else None
    if not devtools.find_chromium():
        print("skipped: chromium is not installed (scripts/setup.sh installs it)")
        return 77

    work = tempfile.mkdtemp(prefix="ffsload-board-")
    processes = []
    try:
        station = os.path.join(work, "station")
        # The station's files only: other tests run in the example folder
        # itself and leave their records and journals there.
        shutil.copytree(os.path.join(examples, "station"), station,
                        ignore=shutil.ignore_patterns("runs*.sqlite*", "run-journal_*", "ports",
                                                      "Download_*", "IMEI*"))
        with open(os.path.join(station, "comports"), "w") as f:
            for port in (1, 2, 3):
                f.write(f"{port} {work}/port{port}\n")
        # A script whose name is markup, and one slow enough to be seen running.
        testmode = open(os.path.join(station, "testmode.tms")).read()
        for name, text in ((HOSTILE, testmode), ("slow.tms", "tms 1\nti\nsleep 4000\n"),
                           ("long.tms", "tms 1\nti\nsleep 40000\n")):
            with open(os.path.join(station, name), "w") as f:
                f.write(text)
            folder = os.path.join(station, name.split(".")[0])
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, "MA_NO"), "w") as f:
                f.write("ORD-BOARD\n")

        handset = os.path.join(examples, "handset")
        for port, extra in ((1, ["--load", handset]), (2, ["--fault", "refuse:0x20"]),
                            (3, ["--load", handset])):
            processes.append(subprocess.Popen(
                [sim, "--link", f"{work}/port{port}", *extra],
                stdout=subprocess.DEVNULL, stderr=open(f"{work}/sim{port}.err", "w")))
        for _ in range(100):
            if all(os.path.exists(f"{work}/port{p}") for p in (1, 2, 3)):
                break
            time.sleep(0.05)

        def run(port, *args, background=False):
            command = [ffsload, "run", "--port", str(port), *args]
            if background:
                return subprocess.Popen(command, cwd=station, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE, text=True)
            return subprocess.run(command, cwd=station, capture_output=True, text=True,
                                  timeout=120)

        green = run(1, "--customer", "1")
        if green.returncode != 0:
            fail("the green run failed:\n" + green.stderr)
        # Three red runs on port 2, each on a unit of its own (the handset
        # refuses test mode before its IMEI is read: each run is its own unit).
        for _ in range(3):
            red = run(2, "--customer", "2")
            if red.returncode == 0:
                fail("the run against a refusing handset was not red")
        hostile = run(3, "--script", HOSTILE)
        if hostile.returncode != 0:
            fail("the run of the hostile script name failed:\n" + hostile.stderr)

        # The board's HTTP library stays out of the program every run starts.
        linked = subprocess.run(["ldd", ffsload], capture_output=True, text=True).stdout
        if "httplib" in linked:
            fail("ffsload links the board's HTTP library")
        board = subprocess.Popen([ffsload, "board", "--listen", "127.0.0.1:0",
                                  "--records", "runs.sqlite"], cwd=station,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        processes.append(board)
        first = board.stdout.readline()
        if "http://" not in first:
            fail("the board did not say where it serves: " + first + board.stderr.read())
        url = first[first.index("http://"):].strip()

        with devtools.Browser() as browser:
            page = browser.open(url)
            card = "document.querySelector('article.card[data-port=\"%d\"]')"
            if not page.wait_for("document.querySelectorAll('article.card').length === 3"):
                fail("the page never showed three cards: " +
                     str(page.evaluate("document.body.innerText")))
            states = page.evaluate(
                "[...document.querySelectorAll('article.card')].map(c => c.dataset.state)")
            if states != ["green", "red", "green"]:
                fail(f"the cards show {states}, not green, red, green")
            red_text = page.evaluate((card % 2) + ".querySelector('.failed').textContent")
            if red_text != "failed at line 2: ti":
                fail(f"the red card says {red_text!r}, not the failed line")

            if not page.evaluate((card % 2) + ".classList.contains('alarm')"):
                fail("port 2's card shows no fixture alarm after 3 red runs")
            alarms = page.evaluate("document.getElementById('alarms').textContent")
            if "port 2: red runs in a row: 3" not in alarms:
                fail(f"the fixture alarms say {alarms!r}")

            # The hostile name is text on the page, and no script but the board's own ran.
            hostile_text = page.evaluate((card % 3) + ".textContent")
            if HOSTILE not in hostile_text:
                fail(f"the hostile script name is not shown as text: {hostile_text!r}")
            if "&lt;script&gt;boom.tms" not in page.evaluate((card % 3) + ".innerHTML"):
                fail("the hostile script name is not escaped in the card's markup")
            if page.evaluate("[...document.scripts].filter((s) => s.type !== 'application/json')"
                             ".length") != 1:
                fail("a script element besides the board's own is on the page")

            # A run starts and ends while the page stays open.
            page.evaluate("window.stillTheSamePage = true")
            slow = run(1, "--script", "slow.tms", background=True)
            if not page.wait_for((card % 1) + ".dataset.state === 'running'", timeout=15):
                fail("port 1 never showed running: " + str(page.evaluate((card % 1) + ".textContent")))
            running_text = page.evaluate((card % 1) + ".textContent")
            if "RUNNING" not in running_text or "slow.tms" not in running_text:
                fail(f"the running card says {running_text!r}")
            if shots:
                os.makedirs(shots, exist_ok=True)
                page.screenshot(os.path.join(shots, "board.png"))
            if slow.wait(timeout=60) != 0:
                fail("the slow run failed:\n" + slow.stderr.read())
            if not page.wait_for((card % 1) + ".dataset.state === 'green'", timeout=15):
                fail("port 1 never turned green after its run")
            history = page.evaluate((card % 1) + ".dataset.history")
            if not history.endswith("green running green"):
                fail(f"port 1 showed {history!r}, not green, running, green")
            if not page.evaluate("window.stillTheSamePage === true"):
                fail("the page was reloaded")
            runs_today = page.evaluate((card % 1) + ".querySelector('.today').textContent")
            if not runs_today.startswith("runs today: 2 · first pass: "):
                fail(f"port 1's day says {runs_today!r}")

            # In the readers' languages, while port 3 runs.
            long_run = run(3, "--script", "long.tms", background=True)
            board_languages.check_languages(browser, url, shots, fail)
            if long_run.wait(timeout=60) != 0:
                fail("the long run failed:\n" + long_run.stderr.read())

            # The records file deleted under the board: the red banner says so,
            # and the cards stay, greyed, as last known.
            for end in ("", "-wal", "-shm"):
                if os.path.exists(os.path.join(station, "runs.sqlite" + end)):
                    os.remove(os.path.join(station, "runs.sqlite" + end))
            banner = "document.getElementById('banner')"
            if not page.wait_for(f"!{banner}.hidden", timeout=5):
                fail("no banner after the records file was deleted")
            banner_text = page.evaluate(f"{banner}.textContent")
            if "runs.sqlite" not in banner_text or "cannot be read" not in banner_text:
                fail(f"the banner says {banner_text!r}")
            if not page.evaluate((card % 1) + ".classList.contains('stale')"):
                fail("port 1's card is not greyed with its records gone")

        board.send_signal(signal.SIGTERM)
        try:
            status = board.wait(timeout=10)
        except subprocess.TimeoutExpired:
            fail("the board did not stop within 10 s of SIGTERM")
        if status != 0:
            fail(f"the board ended with status {status} on SIGTERM: " + board.stderr.read())
        print("ok: cards, failed line, escaped name, running then green, Chinese and Vietnamese, "
              "banner with the records gone, stopped by SIGTERM")
        return 0
    finally:
        for p in processes:
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    p.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
