#!/usr/bin/env python3
"""The CFX soak: N runs' messages (WorkStarted, UnitsTested, WorkCompleted,
queued as a run queues them) delivered by the real sender (ffsload-cfx) to
a real RabbitMQ while the broker is SIGKILLed and started again and the
sender is SIGKILLed at random points and started again. Then every message
is read back from the broker and compared with what was queued.

Prints: runs, messages, delivered, duplicates (with the same UniqueID),
lost (goal 0), out of order (goal 0), and how long the queue took to flow
again after each broker restart (goal: within 15 s).

  bench/cfx_soak.py BUILD-DIR [--runs 200] [--broker-kills 2] [--sender-kills 10]
                    [--pace-ms 400] [--seed 1]
  bench/cfx_soak.py BUILD-DIR --backlog N
      N messages queued with no sender, then one sender started: how fast
      the backlog drains to the broker (goal: 500 messages a second), in
      order, and the sender's memory while it drains (goal: flat).
Exits 77 when RabbitMQ or Python's Qpid Proton binding is missing, 1 when a
message was lost or out of order.
"""
import argparse
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "cfx"))
import cfx_harness as h  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--runs", type=int, default=200)
    ap.add_argument("--broker-kills", type=int, default=2)
    ap.add_argument("--sender-kills", type=int, default=10)
    ap.add_argument("--pace-ms", type=int, default=400)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--backlog", type=int, default=0)
    args = ap.parse_args()
    h.skip_unless_available()
    build = os.path.abspath(args.build)
    sender_bin = os.path.join(build, "src", "ffsload-cfx")
    filler_bin = os.path.join(build, "bench", "cfx_queue_runs")
    rng = random.Random(args.seed)
    station = tempfile.mkdtemp(prefix="ffsload-cfx-soak-")
    broker = h.Broker()
    sender = None
    try:
        t0 = time.monotonic()
        broker.start()
        print(f"broker up in {time.monotonic() - t0:.1f} s", flush=True)
        with open(os.path.join(station, "ffsload.conf"), "w") as f:
            f.write(f"cfx-broker = {broker.url()}\ncfx-handle = FFSLoad.ffsload.soak\n"
                    "cfx-heartbeat = 300\n")
        log = open(os.path.join(station, "sender.log"), "ab")

        def start_sender():
            return subprocess.Popen([sender_bin, "serve"], cwd=station, stdout=log, stderr=log)

        def status():
            out = subprocess.run([sender_bin, "status"], cwd=station, capture_output=True,
                                 text=True, timeout=30).stdout
            waiting = re.search(r"^messages waiting: (\d+)", out, re.M)
            last = re.search(r"^last delivered: (.*)$", out, re.M)
            return (int(waiting.group(1)) if waiting else -1), (last.group(1) if last else "")

        if args.backlog:
            return backlog(args, broker, station, filler_bin, start_sender, status)
        sender = start_sender()
        expected = []
        filler = subprocess.Popen([filler_bin, station, "--runs", str(args.runs), "--pace-ms",
                                   str(args.pace_ms)], stdout=subprocess.PIPE, text=True)

        def read_filler():
            for line in filler.stdout:
                run, uid, name = line.split()
                expected.append((int(run), uid, name))
        reader = threading.Thread(target=read_filler)
        reader.start()

        span = args.runs * args.pace_ms / 1000.0
        events = [(rng.uniform(0.05, 0.9) * span, "sender") for _ in range(args.sender_kills)]
        events += [((i + 1) / (args.broker_kills + 1) * span, "broker")
                   for i in range(args.broker_kills)]
        events.sort()
        resumed = []
        start = time.monotonic()
        for at, what in events:
            delay = start + at - time.monotonic()
            if delay > 0:
                time.sleep(delay)
            if what == "sender":
                sender.send_signal(signal.SIGKILL)
                sender.wait()
                time.sleep(rng.uniform(0, 1.0))
                sender = start_sender()
                print(f"{time.monotonic() - start:6.1f} s: sender killed and started again",
                      flush=True)
            else:
                broker.kill()
                # Nothing is delivered from here until the broker is back.
                before = status()[1]
                print(f"{time.monotonic() - start:6.1f} s: broker killed", flush=True)
                time.sleep(rng.uniform(1, 3))
                broker.start()
                up = time.monotonic()
                print(f"{up - start:6.1f} s: broker answers again", flush=True)
                # Flowing again: a delivery after the broker answered.
                while time.monotonic() - up < 60:
                    waiting, last = status()
                    if last != before and last != "-":
                        break
                    time.sleep(0.2)
                resumed.append(time.monotonic() - up)
                print(f"{time.monotonic() - start:6.1f} s: queue flowing again "
                      f"{resumed[-1]:.1f} s after", flush=True)
                start += 0  # the schedule keeps its times
        filler.wait()
        reader.join()
        deadline = time.monotonic() + 180
        while time.monotonic() < deadline:
            waiting, _ = status()
            if waiting == 0:
                break
            time.sleep(0.5)
        sender.send_signal(signal.SIGTERM)
        sender.wait(30)
        sender = None
        got = h.consume(broker, idle=3.0)
        delivered = [h.envelope(m)["UniqueID"] for m in got]
        order = {uid: i for i, (_, uid, _) in enumerate(expected)}
        seen = set()
        duplicates = 0
        out_of_order = 0
        last_index = -1
        for uid in delivered:
            if uid not in order:
                continue  # the sender's own messages (EndpointConnected, ...)
            if uid in seen:
                duplicates += 1
                continue
            seen.add(uid)
            if order[uid] < last_index:
                out_of_order += 1
            last_index = max(last_index, order[uid])
        lost = len(expected) - len(seen)
        own = sum(1 for uid in delivered if uid not in order)
        print(f"runs {args.runs}, messages {len(expected)}, delivered {len(seen)}, "
              f"duplicates {duplicates}, lost {lost}, out of order {out_of_order}")
        print(f"sender kills {args.sender_kills}, broker kills {args.broker_kills}, "
              f"flowing again after each broker restart: "
              + ", ".join(f"{r:.1f} s" for r in resumed)
              + f"; the sender's own messages {own}")
        # One line for scripts/bench.sh's table.
        print(f"figure\tCFX soak: {args.runs} runs, broker killed {args.broker_kills}x, sender "
              f"{args.sender_kills}x\tlost {lost}, out of order {out_of_order}, duplicates "
              f"{duplicates}; flowing again within {max(resumed, default=0):.1f} s"
              f"\tlost 0, out of order 0, within 15 s")
        return 0 if lost == 0 and out_of_order == 0 else 1
    finally:
        if sender is not None:
            sender.kill()
            sender.wait()
        broker.close()
        shutil.rmtree(station, ignore_errors=True)


def rss_kb(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def backlog(args, broker, station, filler_bin, start_sender, status):
    runs = (args.backlog + 2) // 3
    t = time.monotonic()
    filled = subprocess.run([filler_bin, station, "--runs", str(runs)], capture_output=True,
                            text=True, check=True)
    expected = [line.split()[1] for line in filled.stdout.splitlines()]
    print(f"{len(expected)} messages queued in {time.monotonic() - t:.1f} s", flush=True)
    sender = start_sender()
    t = time.monotonic()
    samples = []
    while True:
        time.sleep(0.5)
        samples.append(rss_kb(sender.pid))
        waiting, _ = status()
        if waiting == 0 or time.monotonic() - t > 1800:
            break
    seconds = time.monotonic() - t
    sender.send_signal(signal.SIGTERM)
    sender.wait(30)
    got = [h.envelope(m)["UniqueID"] for m in h.consume(broker, idle=3.0)]
    mine = [uid for uid in got if uid in set(expected)]
    firsts = list(dict.fromkeys(mine))
    in_order = firsts == expected
    early = samples[len(samples) // 10] if samples else 0
    print(f"backlog {len(expected)}, drained in {seconds:.1f} s: "
          f"{len(expected) / seconds:.0f} messages a second (the 0.5 s status polls included), "
          f"delivered {len(firsts)}, in order {'yes' if in_order else 'NO'}, "
          f"duplicates {len(mine) - len(firsts)}")
    print(f"the sender's memory (RSS): {early} kB after a tenth of the drain, "
          f"{max(samples) if samples else 0} kB at most, {samples[-1] if samples else 0} kB "
          f"at the end")
    print(f"figure\tCFX sender: a backlog of {len(expected)} drained\t"
          f"{len(expected) / seconds:.0f} messages/s, in order {'yes' if in_order else 'NO'}; "
          f"RSS {early} -> {samples[-1] if samples else 0} kB\t>= 500 messages/s, memory flat")
    return 0 if in_order and len(firsts) == len(expected) else 1


if __name__ == "__main__":
    sys.exit(main())
