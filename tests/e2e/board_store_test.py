#!/usr/bin/env python3
"""The line board when its records file changes under it: the real "ffsload
board" over its HTTP API, the records written by real runs of "ffsload run"
against ffsload-sim. The file at the board's path is deleted, replaced by
another file and truncated; each time the board must say so at once (503
with the reason, and a line on its stderr), and the runs recorded into the
file then at the path must show within 2 seconds, the old file's never again.

usage: board_store_test.py FFSLOAD FFSLOAD_SIM EXAMPLES_DIR
"""
import json
import os
import queue
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

PROMISE_S = 2.0  # the board shows a recorded run within this


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def main(argv):
    if len(argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    ffsload, sim, examples = (os.path.abspath(a) for a in argv[1:4])
    work = tempfile.mkdtemp(prefix="ffsload-board-store-")
    processes = []
    try:
        station = os.path.join(work, "station")
        shutil.copytree(os.path.join(examples, "station"), station,
                        ignore=shutil.ignore_patterns("runs*.sqlite*", "run-journal_*", "ports",
                                                      "Download_*", "IMEI*"))
        link = os.path.join(work, "handset")
        processes.append(subprocess.Popen([sim, "--link", link], stdout=subprocess.DEVNULL,
                                          stderr=open(os.path.join(work, "sim.err"), "w")))
        for _ in range(100):
            if os.path.exists(link):
                break
            time.sleep(0.05)
        env = dict(os.environ)
        env.pop("FFSLOAD_RECORDS", None)

        def record_run(port, records):
            """One green run on the port, recorded into `records` (in the station)."""
            done = subprocess.run([ffsload, "run", "--port", str(port), "--device", link,
                                   "--script", "testmode.tms", "--records", records],
                                  cwd=station, capture_output=True, text=True, timeout=60, env=env)
            if done.returncode != 0:
                fail(f"the run on port {port} into {records} failed:\n" + done.stderr)
            return time.monotonic()

        def path(name):
            return os.path.join(station, name)

        def remove_store(name):
            for end in ("", "-wal", "-shm"):
                if os.path.exists(path(name + end)):
                    os.remove(path(name + end))

        record_run(1, "runs.sqlite")
        board = subprocess.Popen([ffsload, "board", "--listen", "127.0.0.1:0", "--records",
                                  "runs.sqlite"], cwd=station, env=env, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, text=True)
        processes.append(board)
        first = board.stdout.readline()
        if "http://" not in first:
            fail("the board did not say where it serves: " + first + board.stderr.read())
        url = first[first.index("http://"):].strip().rstrip("/")
        said = queue.Queue()
        threading.Thread(target=lambda: [said.put(line) for line in board.stderr],
                         daemon=True).start()

        def get(target):
            try:
                with urllib.request.urlopen(url + target, timeout=5) as answer:
                    return answer.status, json.loads(answer.read())
            except urllib.error.HTTPError as e:
                return e.code, json.loads(e.read())

        def ports():
            status, body = get("/api/ports")
            return status, ([(p["port"]) for p in body] if status == 200 else body["error"])

        def wait_for(what, check, within):
            deadline = time.monotonic() + within
            while True:
                result = check()
                if result:
                    return result
                if time.monotonic() > deadline:
                    fail(f"{what} not within {within} s: /api/ports {ports()}")
                time.sleep(0.05)

        def board_says(text, within=PROMISE_S):
            deadline = time.monotonic() + within
            while True:
                try:
                    line = said.get(timeout=max(0.01, deadline - time.monotonic()))
                except queue.Empty:
                    fail(f"the board's stderr never said {text!r}")
                if text in line:
                    return

        wait_for("port 1 shown", lambda: ports() == (200, [1]), 10)

        # Deleted: said at once, and 503 until a file is there again.
        remove_store("runs.sqlite")
        board_says("runs.sqlite was deleted or moved away")
        status, reason = ports()
        if status != 503:
            fail(f"/api/ports answered {status} with its records file deleted")
        status, body = get("/api/runs")
        if status != 503:
            fail(f"/api/runs answered {status} with its records file deleted: {body}")
        ended = record_run(2, "runs.sqlite")
        wait_for("the new file's run", lambda: ports() == (200, [2]),
                 PROMISE_S - (time.monotonic() - ended))
        status, runs = get("/api/runs")
        if status != 200 or [r["port"] for r in runs] != [2]:
            fail(f"/api/runs after the new file: {status} {runs}")

        # Replaced: another whole file moved over the path.
        record_run(3, "other.sqlite")
        with sqlite3.connect(path("other.sqlite")) as other:
            other.execute("PRAGMA journal_mode=DELETE")  # everything in the file itself
        os.remove(path("runs.sqlite-wal"))
        os.remove(path("runs.sqlite-shm"))
        replaced = time.monotonic()
        os.replace(path("other.sqlite"), path("runs.sqlite"))
        board_says("runs.sqlite was replaced by another file")
        wait_for("the replacing file's run", lambda: ports() == (200, [3]),
                 PROMISE_S - (time.monotonic() - replaced))
        status, runs = get("/api/runs")
        if status != 200 or [r["port"] for r in runs] != [3]:
            fail(f"/api/runs after the replacement: {status} {runs}")

        # Truncated: the same file cut to nothing.
        os.truncate(path("runs.sqlite"), 0)
        board_says("runs.sqlite was truncated")
        status, reason = ports()
        if status != 503:
            fail(f"/api/ports answered {status} with its records file truncated")
        ended = record_run(4, "runs.sqlite")
        wait_for("the run recorded after the truncation", lambda: ports() == (200, [4]),
                 PROMISE_S - (time.monotonic() - ended))

        # A run is shown running within 2 s of its start, whatever its script:
        # one whose first pause is long, and one with no pause at all (a
        # silent handset: the tool only waits for replies).
        quiet = os.path.join(work, "quiet")
        processes.append(subprocess.Popen([sim, "--link", quiet, "--fault", "silent"],
                                          stdout=subprocess.DEVNULL,
                                          stderr=open(os.path.join(work, "quiet.err"), "w")))
        for _ in range(100):
            if os.path.exists(quiet):
                break
            time.sleep(0.05)
        with open(path("long-pause.tms"), "w") as script:
            script.write("sleep 5000\ntms 1\n")
        with open(path("no-pause.tms"), "w") as script:
            script.write("tms 1\nti\n")
        for port, device, script in ((5, link, "long-pause.tms"), (6, quiet, "no-pause.tms")):
            started = time.monotonic()
            running = subprocess.Popen([ffsload, "run", "--port", str(port), "--device", device,
                                        "--script", script, "--records", "runs.sqlite"],
                                       cwd=station, env=env, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
            processes.append(running)

            def shown_running():
                status, body = get("/api/ports")
                return status == 200 and any(p["port"] == port and p["state"] == "running"
                                             for p in body)

            wait_for(f"the run of {script} shown running", shown_running,
                     PROMISE_S - (time.monotonic() - started))
            running.wait(timeout=60)

        board.send_signal(signal.SIGTERM)
        if board.wait(timeout=10) != 0:
            fail("the board did not stop cleanly on SIGTERM")
        print("ok: deleted, replaced and truncated records files said at once and read again; "
              "runs shown running within 2 s whatever their script")
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
