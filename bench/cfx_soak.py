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
                    [--pace-ms 400] [--seed 1] [--probes [--hostile 8]]
      --probes: the sender also answers on a request port (cfx-listen, with
      cfx-mes-handles), where, while the messages flow, the hostile probes
      come at random (a connect-and-close, a /dev/tcp-like newline, an HTTP
      GET, half a protocol header, garbage, a SASL PLAIN offer, an idle
      client, an AMQP client killed or stopped mid-connection, a frame of
      2 GiB, a 64 MiB request) and --hostile connections, each from an
      address of its own, ask hostile requests without pause (locks and
      unlocks from unlisted handles, to other stations, with a $type not
      theirs, garbage, requests not supported, requests near the size
      limit). Also prints the sender's memory (RSS) at the start and the
      end, the probes fired, the requests asked and answered, and whether
      the station got locked (goal: never).
  bench/cfx_soak.py BUILD-DIR --backlog N
      N messages queued with no sender, then one sender started: how fast
      the backlog drains to the broker (goal: 500 messages a second), in
      order, and the sender's memory while it drains (goal: flat).
Exits 77 when RabbitMQ or Python's Qpid Proton binding is missing, 1 when a
message was lost or out of order.
"""
import argparse
import collections
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
    ap.add_argument("--probes", action="store_true")
    ap.add_argument("--hostile", type=int, default=8)
    args = ap.parse_args()
    h.skip_unless_available()
    build = os.path.abspath(args.build)
    sender_bin = os.path.join(build, "src", "ffsload-cfx")
    filler_bin = os.path.join(build, "bench", "cfx_queue_runs")
    rng = random.Random(args.seed)
    station = tempfile.mkdtemp(prefix="ffsload-cfx-soak-")
    broker = h.Broker()
    sender = None
    attack = None
    try:
        t0 = time.monotonic()
        broker.start()
        print(f"broker up in {time.monotonic() - t0:.1f} s", flush=True)
        listen = f"127.0.0.1:{h.free_port()}"
        with open(os.path.join(station, "ffsload.conf"), "w") as f:
            f.write(f"cfx-broker = {broker.url()}\ncfx-handle = {HANDLE}\n"
                    "cfx-heartbeat = 300\n")
            if args.probes:
                f.write(f"cfx-listen = {listen}\ncfx-mes-handles = Mes.soak.1\n")
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
        current = {"sender": sender}
        if args.probes:
            attack = Attack(listen, args.hostile, args.seed, lambda: current["sender"])
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
                if sender.poll() is not None and attack:
                    attack.exits_on_its_own += 1
                sender.send_signal(signal.SIGKILL)
                sender.wait()
                time.sleep(rng.uniform(0, 1.0))
                sender = start_sender()
                current["sender"] = sender
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
        if attack:
            if sender.poll() is not None:
                attack.exits_on_its_own += 1
            attack.stop()
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
        locked = os.path.exists(os.path.join(station, "cfx-station-lock.json"))
        if attack:
            attack.report(locked, station)
        # One line for scripts/bench.sh's table.
        probes = ""
        if attack:
            probes = (f", {sum(attack.fired.values())} probes and {attack.asked} hostile requests "
                      f"on {args.hostile} connections, RSS {attack.rss_first()} -> "
                      f"{attack.rss_last()} kB, locked {'YES' if locked else 'no'}")
        print(f"figure\tCFX soak: {args.runs} runs, broker killed {args.broker_kills}x, sender "
              f"{args.sender_kills}x{' with probes' if attack else ''}\tlost {lost}, out of order "
              f"{out_of_order}, duplicates {duplicates}; flowing again within "
              f"{max(resumed, default=0):.1f} s{probes}"
              f"\tlost 0, out of order 0, within 15 s{', never locked' if attack else ''}")
        ok = lost == 0 and out_of_order == 0
        if attack:
            ok = ok and not locked and attack.exits_on_its_own == 0
        return 0 if ok else 1
    finally:
        if attack:
            attack.stop()
        if sender is not None:
            sender.kill()
            sender.wait()
        broker.close()
        shutil.rmtree(station, ignore_errors=True)


HANDLE = "FFSLoad.ffsload.soak"
PROBE_KINDS = ["tcp-close", "dev-tcp", "http-get", "half-header", "garbage", "sasl-plain",
               "idle-client", "killed-client", "silent-client", "oversize-frame", "huge-request"]

# A connection of hostile requests from a loopback address of its own (the
# station takes 4 connections from one address), asking without pause and
# connecting again now and then; prints "asked answered" after each round.
HOSTILE_CLIENT = r"""
import json, random, socket, sys, time, uuid
import proton._io as pio
from proton import Message, Timeout
from proton.utils import BlockingConnection, SendException
address, handle, source, seed = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])

def connect(addr):
    s = socket.socket(addr[0], addr[1], addr[2])
    s.bind((source, 0))
    pio.IO._setupsocket(s)
    s.connect_ex(addr[4])
    return s
pio.IO.connect = staticmethod(connect)
rng = random.Random(seed)
LOCK, UNLOCK = "CFX.Production.LockStationRequest", "CFX.Production.UnlockStationRequest"
LOCK_BODY = {"Lane": None, "Stage": None, "Reason": "QualityIssue",
             "Requestor": {"OperatorIdentifier": "evil"}}

def request(kind):
    source_handle, target, name, body, body_type = "Evil.Laptop.1", handle, LOCK, LOCK_BODY, None
    if kind == "unlock-unlisted":
        name = UNLOCK
    elif kind == "lock-wrong-type":
        source_handle, body_type = "Mes.soak.1", "CFX.Heartbeat"
    elif kind == "lock-other-station":
        source_handle, target = "Mes.soak.1", "FFSLoad.ffsload.other"
    elif kind == "unlock-as-lock":
        source_handle, name, body_type = "Mes.soak.1", UNLOCK, LOCK
    elif kind == "not-supported":
        name, body = "CFX.Production.GetActiveRecipeRequest", {}
    elif kind == "are-you-there":
        name, body = "CFX.AreYouThereRequest", {"CFXHandle": handle}
    elif kind == "near-the-limit":
        body = dict(LOCK_BODY, Padding="x" * 60000)
    elif kind == "garbage":
        return b"{\"MessageName\": " + bytes(rng.randrange(256) for _ in range(200))
    return json.dumps({
        "MessageName": name, "Version": "2.1", "TimeStamp": "2026-12-08T17:06:05.123+00:00",
        "UniqueID": str(uuid.uuid4()), "Source": source_handle, "Target": target,
        "RequestID": f"REQUEST-{uuid.uuid4()}",
        "MessageBody": {"$type": (body_type or name) + ", CFX", **body}}).encode()

KINDS = ["lock-unlisted", "unlock-unlisted", "lock-wrong-type", "lock-other-station",
         "unlock-as-lock", "not-supported", "are-you-there", "near-the-limit", "garbage"]
asked = answered = 0
while True:
    try:
        conn = BlockingConnection(f"amqp://{address}", timeout=10, allowed_mechs="ANONYMOUS")
        try:
            reply_to = f"Evil.{source}/reply-{uuid.uuid4()}"
            receiver = conn.create_receiver(reply_to, credit=10)
            sender = conn.create_sender(handle)
            for _ in range(rng.randint(20, 80)):
                asked += 1
                try:
                    sender.send(Message(body=request(rng.choice(KINDS)), inferred=True,
                                        reply_to=reply_to, address=handle))
                    receiver.receive(timeout=2)
                    receiver.accept()
                    answered += 1
                except (Timeout, SendException):
                    pass  # refused without an answer (garbage, no reply link)
        finally:
            try:
                conn.close()
            except Exception:
                pass
    except Exception:
        time.sleep(0.5)
    print(asked, answered, flush=True)
"""


class Attack:
    """The probes at random and the hostile connections, while the soak's
    messages flow; the sender's memory sampled once a second."""

    def __init__(self, listen, hostile, seed, sender_of):
        self.listen = listen
        self.sender_of = sender_of
        self.rng = random.Random(seed * 7919 + 1)
        self.fired = collections.Counter()
        self.failed = collections.Counter()
        self.held = []
        self.asked = self.answered = 0
        self.exits_on_its_own = 0
        self.samples = []  # (seconds, pid, rss kB)
        self.started = time.monotonic()
        self.done = threading.Event()
        self.clients = []
        self.client_counts = {}
        for i in range(hostile):
            p = subprocess.Popen(["/usr/bin/python3", "-c", HOSTILE_CLIENT, listen, HANDLE,
                                  f"127.0.0.{i + 2}", str(seed * 100 + i)],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            self.clients.append(p)
            threading.Thread(target=self._read_client, args=(i, p), daemon=True).start()
        self.threads = [threading.Thread(target=self._probe_loop, daemon=True),
                        threading.Thread(target=self._sample_loop, daemon=True)]
        for t in self.threads:
            t.start()

    def _read_client(self, i, p):
        for line in p.stdout:
            asked, answered = (int(x) for x in line.split())
            self.client_counts[i] = (asked, answered)

    def _probe_loop(self):
        while not self.done.wait(self.rng.expovariate(1 / 1.5)):
            kind = self.rng.choice(PROBE_KINDS)
            threading.Thread(target=self._probe, args=(kind,), daemon=True).start()

    def _probe(self, kind):
        self.fired[kind] += 1
        try:
            p = h.probe(kind, self.listen, HANDLE)
        except Exception:
            self.failed[kind] += 1  # refused at once: the station's own choice
            return
        if p is None:
            return
        self.held.append(p)
        # A silent or idle client is the station's to close; at most a few
        # are kept from the soak's side.
        while len(self.held) > 6:
            old = self.held.pop(0)
            old.kill()
            old.wait()

    def _sample_loop(self):
        while not self.done.wait(1.0):
            sender = self.sender_of()
            if sender.poll() is None:
                self.samples.append((time.monotonic() - self.started, sender.pid,
                                     rss_kb(sender.pid)))

    def rss_first(self):
        return self.samples[0][2] if self.samples else 0

    def rss_last(self):
        return self.samples[-1][2] if self.samples else 0

    def stop(self):
        if self.done.is_set():
            return
        self.done.set()
        for t in self.threads:
            t.join(10)
        for p in self.clients + self.held:
            p.kill()
            p.wait()
        self.asked = sum(a for a, _ in self.client_counts.values())
        self.answered = sum(b for _, b in self.client_counts.values())

    def report(self, locked, station):
        print("probes fired: " + ", ".join(f"{k} {self.fired[k]}" for k in PROBE_KINDS) +
              f" (refused at once: {sum(self.failed.values())})")
        print(f"hostile requests: {self.asked} asked, {self.answered} answered, on "
              f"{len(self.clients)} connections from {len(self.clients)} addresses")
        by_pid = collections.OrderedDict()
        for t, pid, rss in self.samples:
            by_pid.setdefault(pid, []).append((t, rss))
        longest = max(by_pid.values(), key=len, default=[])
        print(f"the sender's memory (RSS): {self.rss_first()} kB at the start, "
              f"{self.rss_last()} kB at the end, {max((s[2] for s in self.samples), default=0)} kB "
              f"at most; the longest-lived sender {longest[0][1] if longest else 0} kB after "
              f"{longest[0][0] if longest else 0:.0f} s, {longest[-1][1] if longest else 0} kB "
              f"{(longest[-1][0] - longest[0][0]) if longest else 0:.0f} s later")
        print(f"the sender exited on its own: {self.exits_on_its_own} times; the station locked: "
              f"{'YES' if locked else 'no'}")
        with open(os.path.join(station, "sender.log"), errors="replace") as f:
            said = sum(1 for line in f if "request connection from" in line)
        print(f"connections closed and said in the sender's log: {said}")


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
