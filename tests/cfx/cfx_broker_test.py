#!/usr/bin/env python3
"""The station on the factory's network against real components: a
RabbitMQ of the test's own (AMQP 1.0 plugin, exchange "cfx", a queue bound
by "#"), a fake MES endpoint and the real programs (ffsload, ffsload-cfx,
ffsload-sim). Checks, reading back from the broker:
- the sender's messages framed as the standard's SDK frames them, field by
  field; EndpointConnected at start, Heartbeat, EndpointShuttingDown on SIGTERM;
- the MES's word before a unit is loaded: Passed runs; Failed does not run
  (exit 2, the MES's message and code); silence within the timeout;
  advisory runs on and says so;
- TLS with a CA of the test's own: the broker and the MES over amqps, the
  request port answering the CA's certificates only (not another CA's, a
  self-signed one, none, or plain AMQP);
- the systemd unit's command started as root in a station folder of another
  user (skipped when not root): it runs as that user, whose runs queue their
  messages; a folder that is root's is refused;
- lock and unlock from the MES, across a restart of the sender; the other
  requests answered, anything else NotSupportedResponse;
- every kind of peer at the responder's port (a port scan, an HTTP GET,
  half a protocol header, garbage, a frame of 2 GiB, SASL PLAIN, a client
  killed or silent past the idle limit, one alive by heartbeats alone, a
  64 MiB request) while messages flow: the
  sender stays up, nothing lost, its memory small;
- the broker SIGKILLed and started again, and the sender SIGKILLed, while
  messages flow: every message arrives, in order, duplicates only with the
  same UniqueID.

  cfx_broker_test.py BUILD-DIR EXAMPLES-DIR
Exits 77 (skipped) when rabbitmq-server or python3-qpid-proton is missing.
"""
import json
import os
import re
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cfx_harness as h  # noqa: E402

BUILD, EXAMPLES = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
FFSLOAD = os.path.join(BUILD, "src", "ffsload")
SENDER = os.path.join(BUILD, "src", "ffsload-cfx")
SIM = os.path.join(BUILD, "src", "ffsload-sim")
QUEUE_RUNS = os.path.join(BUILD, "bench", "cfx_queue_runs")
HANDLE = "FFSLoad.ffsload.test4"
GUID = re.compile(r"^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$")
TIME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$")
ENVELOPE_FIELDS = ["MessageName", "Version", "TimeStamp", "UniqueID", "Source", "Target",
                   "RequestID", "MessageBody"]

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print(f"FAIL: {what}", flush=True)
    return condition


class Station:
    """A copy of the example station with a simulated handset on port 3."""

    def __init__(self, conf):
        self.dir = tempfile.mkdtemp(prefix="ffsload-cfx-station-")
        shutil.copytree(os.path.join(EXAMPLES, "station"), self.dir, dirs_exist_ok=True)
        self.write_conf(conf)
        self.handset = os.path.join(self.dir, "handset")
        self.sim_out = open(os.path.join(self.dir, "sim.out"), "w")
        self.sim = subprocess.Popen([SIM, "--link", self.handset], stdout=self.sim_out,
                                    stderr=subprocess.DEVNULL, cwd=os.path.join(EXAMPLES, "handset"))
        for _ in range(200):
            if os.path.getsize(os.path.join(self.dir, "sim.out")) > 0:
                break
            time.sleep(0.05)
        self.sender = None

    def write_conf(self, conf):
        with open(os.path.join(self.dir, "ffsload.conf"), "w") as f:
            f.write(conf)

    def run(self, unit=None, timeout=60, script="testmode.tms", operator=None, device=None):
        args = [FFSLOAD, "run", "--port", "3", "--device", device or self.handset, "--script",
                script]
        if unit:
            args += ["--unit", unit]
        if operator:
            args += ["--operator", operator]
        t = time.monotonic()
        r = subprocess.run(args, cwd=self.dir, capture_output=True, text=True, timeout=timeout)
        r.seconds = time.monotonic() - t
        return r

    def last_record(self):
        db = sqlite3.connect(os.path.join(self.dir, "runs.sqlite"))
        try:
            return db.execute("SELECT outcome, log, unit_serial FROM runs ORDER BY id DESC"
                              " LIMIT 1").fetchone()
        finally:
            db.close()

    def start_sender(self, env=None):
        self.sender_log = open(os.path.join(self.dir, "sender.log"), "ab")
        self.sender = subprocess.Popen([SENDER, "serve"], cwd=self.dir, stdout=self.sender_log,
                                       stderr=self.sender_log, env=env)

    def stop_sender(self, sig=signal.SIGTERM):
        if self.sender:
            self.sender.send_signal(sig)
            rc = self.sender.wait(30)
            self.sender = None
            return rc
        return None

    def waiting(self):
        out = subprocess.run([SENDER, "status"], cwd=self.dir, capture_output=True, text=True,
                             timeout=30).stdout
        m = re.search(r"^messages waiting: (\d+)", out, re.M)
        return int(m.group(1)) if m else -1

    def drained(self, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.waiting() == 0:
                return True
            time.sleep(0.3)
        return False

    def close(self):
        self.stop_sender(signal.SIGKILL)
        self.sim.terminate()
        self.sim.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def check_framing(msg, env):
    name = env.get("MessageName", "?")
    check(isinstance(h.body_bytes(msg), bytes), f"{name}: the body is one data section")
    check(list(env.keys()) == ENVELOPE_FIELDS, f"{name}: envelope fields {list(env.keys())}")
    check(env["Version"] == "2.1", f"{name}: Version")
    check(TIME.match(env["TimeStamp"]) is not None, f"{name}: TimeStamp {env['TimeStamp']}")
    check(GUID.match(env["UniqueID"]) is not None, f"{name}: UniqueID {env['UniqueID']}")
    check(env["Source"] == HANDLE, f"{name}: Source")
    body = env["MessageBody"]
    check(next(iter(body)) == "$type" and body["$type"] == name + ", CFX",
          f"{name}: $type first: {list(body)[:1]}")
    check(msg.durable is True, f"{name}: durable")
    check(str(msg.id) == env["UniqueID"], f"{name}: message-id = UniqueID")
    check(msg.content_type == 'application/json; charset="utf-8"', f"{name}: content-type")
    check(msg.subject == f"{HANDLE}.{name}", f"{name}: subject {msg.subject}")
    check(msg.creation_time > 1.7e9, f"{name}: creation-time {msg.creation_time}")
    topic = name.rsplit(".", 1)[0]
    props = msg.properties or {}
    check(props.get("cfx-topic") == topic, f"{name}: cfx-topic {props.get('cfx-topic')}")
    check(props.get("cfx-message") == name, f"{name}: cfx-message")
    check(props.get("cfx-handle") == HANDLE, f"{name}: cfx-handle")
    check("cfx-target" in props, f"{name}: cfx-target")


def test_endpoint_messages(broker):
    print("-- the sender's own messages, framed as the SDK frames them", flush=True)
    s = Station(f"cfx-broker = {broker.url()}\ncfx-handle = {HANDLE}\ncfx-heartbeat = 1\n")
    try:
        s.start_sender()
        # Heartbeats start once the link is up, which a loaded machine (the
        # suite runs in parallel) may take seconds to reach: two of them at a
        # second each fit in this wait with room to spare.
        time.sleep(6)
        check(s.stop_sender() == 0, "the sender stops in order on SIGTERM with status 0")
        got = [(m, h.envelope(m)) for m in h.consume(broker)]
        names = [e["MessageName"] for _, e in got]
        check(names[:1] == ["CFX.EndpointConnected"], f"EndpointConnected first: {names}")
        check(names[-1:] == ["CFX.EndpointShuttingDown"], f"EndpointShuttingDown last: {names}")
        check(names.count("CFX.Heartbeat") >= 2, f"a heartbeat a second: {names}")
        for msg, env in got:
            check_framing(msg, env)
        beats = [e for _, e in got if e["MessageName"] == "CFX.Heartbeat"]
        if beats:
            b = beats[0]["MessageBody"]
            check(list(b) == ["$type", "CFXHandle", "HeartbeatFrequency", "ActiveFaults",
                              "ActiveRecipes"], f"Heartbeat fields {list(b)}")
            check(b["HeartbeatFrequency"] == "00:00:01" and b["ActiveFaults"] == [],
                  f"Heartbeat values {b}")
        # A second sender for the same folder waits, or exits when told to.
        s.start_sender()
        time.sleep(1)
        second = subprocess.run([SENDER, "serve", "--exit-when-busy"], cwd=s.dir,
                                capture_output=True, text=True, timeout=30)
        check(second.returncode == 2 and "another sender" in second.stderr,
              f"a second sender exits when asked: {second.returncode} {second.stderr}")
        s.stop_sender()
        h.consume(broker, idle=1)
    finally:
        s.close()


def test_password(broker):
    print("-- a user's password from the file or the environment, shown nowhere", flush=True)
    s = Station(f"cfx-broker = {broker.url(h.USER)}\ncfx-handle = {HANDLE}\n")
    try:
        def status(env_password=None):
            env = dict(os.environ)
            env.pop("FFSLOAD_CFX_PASSWORD", None)
            if env_password is not None:
                env["FFSLOAD_CFX_PASSWORD"] = env_password
            r = subprocess.run([SENDER, "status"], cwd=s.dir, capture_output=True, text=True,
                               timeout=30, env=env)
            return r.returncode, r.stdout + r.stderr

        rc, out = status(h.PASSWORD)
        check(rc == 0 and "broker reachable: yes" in out,
              f"PLAIN with FFSLOAD_CFX_PASSWORD: {rc} {out}")
        rc, out = status("wrong-secret")
        check(rc != 0 and "broker reachable: no" in out and "wrong-secret" not in out,
              f"a wrong password: unreachable, and not shown: {rc} {out}")
        rc, out = status()
        check(rc == 2 and "no password" in out, f"no password at all: {rc} {out}")
        with open(os.path.join(s.dir, "cfx-password"), "w") as f:
            f.write(h.PASSWORD + "\n")
        s.write_conf(f"cfx-broker = {broker.url(h.USER)}\ncfx-handle = {HANDLE}\n"
                     f"cfx-password-file = {os.path.join(s.dir, 'cfx-password')}\n")
        rc, out = status()
        check(rc == 0 and "broker reachable: yes" in out and h.PASSWORD not in out,
              f"PLAIN with cfx-password-file: {rc} {out}")
    finally:
        s.close()


def test_validation(broker):
    print("-- the MES's word before a unit is loaded", flush=True)
    with h.FakeMes(mode="passed") as mes:
        base = (f"cfx-broker = {broker.url()}\ncfx-handle = {HANDLE}\ncfx-mes = {mes.url()}\n")
        s = Station(base + "cfx-validate = required\ncfx-validate-timeout = 2\n")
        try:
            r = s.run("SN-PASS-1")
            check(r.returncode == 0, f"Passed: the run goes on and is green: {r.returncode} {r.stderr}")
            req = mes.requests[-1][1] if mes.requests else {}
            msg = mes.requests[-1][0] if mes.requests else None
            check(req.get("MessageName") ==
                  "CFX.InformationSystem.UnitValidation.ValidateUnitsRequest",
                  f"the MES got ValidateUnitsRequest: {req.get('MessageName')}")
            body = req.get("MessageBody", {})
            check(body.get("PrimaryIdentifier") == "SN-PASS-1" and
                  body.get("Units", [{}])[0].get("PositionNumber") == 3,
                  f"the request names the unit and its position: {body}")
            check(str(req.get("RequestID", "")).startswith("REQUEST-") and
                  req.get("Target") == mes.handle and req.get("Source") == HANDLE,
                  f"RequestID, Source and Target: {req}")
            check(msg is not None and msg.reply_to and msg.address == mes.handle,
                  "reply-to names the station's receiver; the request goes to the MES's handle")

            mes.mode = "failed"
            r = s.run("SN-FAIL-1")
            check(r.returncode == 2, f"Failed: exit 2: {r.returncode}")
            check("the MES refused unit SN-FAIL-1: unit is not at this step of its route "
                  "(code 42)" in r.stderr, f"Failed: the MES's message on stderr: {r.stderr}")
            check("tms 1" not in r.stdout, f"Failed: the handset untouched: {r.stdout}")
            rec = s.last_record()
            check(rec is not None and rec[0] == "no run" and "the MES refused unit SN-FAIL-1"
                  in (rec[1] or ""), f"Failed: the refusal on the run's record: {rec}")

            mes.mode = "silent"
            r = s.run("SN-SILENT-1")
            check(r.returncode == 2 and "did not answer within 2 s" in r.stderr,
                  f"silence: a refusal with that reason: {r.returncode} {r.stderr}")
            check(r.seconds < 2 + 4, f"silence: the run waits at most the timeout: {r.seconds:.1f} s")

            mes.mode = "failed"
            s.write_conf(base + "cfx-validate = advisory\ncfx-validate-timeout = 2\n")
            r = s.run("SN-ADV-1")
            check(r.returncode == 0 and "did not agree to unit SN-ADV-1" in r.stderr,
                  f"advisory: the run goes on and says so: {r.returncode} {r.stderr}")
            rec = s.last_record()
            check(rec is not None and "did not agree" in (rec[1] or ""),
                  f"advisory: the record says so: {rec}")

            # Two answers in one segment: the first decides, every time.
            s.write_conf(base + "cfx-validate = required\ncfx-validate-timeout = 5\n")
            for mode, first in (("failed-then-passed", "refused\t42\t"),
                                ("garbage-then-passed", "refused\t0\t")):
                mes.mode = mode
                lines = [subprocess.run([SENDER, "validate", "--serial", f"SN-TWO{i}", "--port",
                                         "1"], cwd=s.dir, capture_output=True, text=True,
                                        timeout=30).stdout for i in range(20)]
                refused = sum(line.startswith(first) for line in lines)
                check(refused == 20, f"{mode}: refused {refused} of 20: {set(lines)}")
                print(f"{mode} in one segment: refused {refused} of 20", flush=True)
            mes.mode = "failed-then-passed"
            r = s.run("SN-TWO-RUN")
            check(r.returncode == 2 and "tms 1" not in r.stdout,
                  f"Failed then Passed: the unit is not loaded: {r.returncode} {r.stderr}")

            # The round trip on loopback, for the figure.
            mes.mode = "passed"
            s.write_conf(base + "cfx-validate = required\n")
            times = []
            for i in range(5):
                t = time.monotonic()
                out = subprocess.run([SENDER, "validate", "--serial", f"SN-T{i}", "--port", "1"],
                                     cwd=s.dir, capture_output=True, text=True, timeout=30)
                times.append(time.monotonic() - t)
                check(out.stdout.strip() == "passed", f"validate says passed: {out.stdout}")
            times.sort()
            print(f"validation round trip by ffsload-cfx validate (process start included): "
                  f"median {times[2] * 1000:.0f} ms", flush=True)
            # What asking costs a whole run: required and Passed against off.
            asked, plain = [], []
            for i in range(5):
                s.write_conf(base + "cfx-validate = required\n")
                asked.append(s.run(f"SN-C{i}").seconds)
                s.write_conf(base + "cfx-validate = off\n")
                plain.append(s.run(f"SN-D{i}").seconds)
            asked.sort()
            plain.sort()
            print(f"a run with the MES asked (Passed): median {asked[2] * 1000:.0f} ms, "
                  f"without: {plain[2] * 1000:.0f} ms", flush=True)
        finally:
            s.close()


def test_lock(broker):
    print("-- lock and unlock from the MES, across a restart; only the MES that locked unlocks",
          flush=True)
    port = h.free_port()
    s = Station(f"cfx-broker = {broker.url()}\ncfx-handle = {HANDLE}\n"
                f"cfx-listen = 127.0.0.1:{port}\ncfx-mes-handles = Mes.fake.1, Mes.fake.2\n")
    lock_file = os.path.join(s.dir, "cfx-station-lock.json")
    lock_body = {"Lane": None, "Stage": None, "Reason": "QualityIssue",
                 "Requestor": {"OperatorIdentifier": "mes-jd"}}
    unlock_body = {"Lane": None, "Stage": None, "Requestor": {"OperatorIdentifier": "x"}}

    def refused(what, reply):
        check(reply is not None and reply["MessageBody"]["Result"]["Result"] == "Failed" and
              reply["MessageBody"]["Result"]["Message"], f"{what}: refused: {reply}")
    address = f"127.0.0.1:{port}"
    try:
        s.start_sender()
        reply = None
        for _ in range(50):
            try:
                reply = h.ask_station(address, HANDLE, "CFX.AreYouThereRequest",
                                      {"CFXHandle": HANDLE}, timeout=5)
                break
            except Exception:
                time.sleep(0.2)
        check(reply is not None and reply["MessageName"] == "CFX.AreYouThereResponse" and
              reply["MessageBody"]["CFXHandle"] == HANDLE and reply["Target"] == "Mes.fake.1",
              f"AreYouThere answered: {reply}")
        info = h.ask_station(address, HANDLE, "CFX.GetEndpointInformationRequest",
                             {"CFXHandle": HANDLE})
        e = (info or {}).get("MessageBody", {}).get("EndpointInformation", {})
        check(e.get("Vendor") == "FFSLoad" and e.get("ModelNumber") == "ffsload" and
              e.get("CFXHandle") == HANDLE and e.get("SoftwareVersion") and
              any(t["TopicName"] == "CFX.Production" for t in e.get("SupportedTopics", [])),
              f"GetEndpointInformation answered: {info}")
        other = h.ask_station(address, HANDLE, "CFX.Production.GetActiveRecipeRequest", {})
        check(other is not None and other["MessageName"] == "CFX.NotSupportedResponse",
              f"anything else: NotSupportedResponse: {other}")
        lock_name = "CFX.Production.LockStationRequest"
        unlock_name = "CFX.Production.UnlockStationRequest"
        refused("a lock from a handle not listed",
                h.ask_station(address, HANDLE, lock_name, lock_body, requester="Evil.Laptop.1"))
        refused("a lock whose $type is a Heartbeat",
                h.ask_station(address, HANDLE, lock_name, lock_body, body_type="CFX.Heartbeat"))
        refused("a lock addressed to another station",
                h.ask_station(address, HANDLE, lock_name, lock_body, target="FFSLoad.ffsload.x9"))
        check(not os.path.exists(lock_file), "no refused lock locked the station")
        lock = h.ask_station(address, HANDLE, lock_name, lock_body)
        check(lock is not None and lock["MessageBody"]["Result"]["Result"] == "Success" and
              lock["RequestID"], f"LockStation answered Success: {lock}")
        refused("an unlock from a handle not listed",
                h.ask_station(address, HANDLE, unlock_name, unlock_body,
                              requester="Evil.Laptop.1"))
        refused("an unlock from another listed MES than the one that locked",
                h.ask_station(address, HANDLE, unlock_name, unlock_body, requester="Mes.fake.2"))
        refused("an unlock whose $type is a lock",
                h.ask_station(address, HANDLE, unlock_name, unlock_body, body_type=lock_name))
        refused("an unlock addressed to another station",
                h.ask_station(address, HANDLE, unlock_name, unlock_body,
                              target="FFSLoad.ffsload.x9"))
        there = h.ask_station(address, HANDLE, "CFX.AreYouThereRequest", {"CFXHandle": HANDLE},
                              requester="Evil.Laptop.1")
        check(there is not None and there["MessageBody"]["Result"]["Result"] == "Failed" and
              "CFXHandle" not in there["MessageBody"],
              f"a handle not listed learns nothing: {there}")
        r = s.run("SN-LOCK-1")
        check(r.returncode == 2 and "locked" in r.stderr and "QualityIssue" in r.stderr and
              "tms 1" not in r.stdout, f"a locked station runs nothing: {r.returncode} {r.stderr}")
        # The lock survives the sender's restart (and a power cut: it is a file).
        s.stop_sender(signal.SIGKILL)
        r = s.run("SN-LOCK-2")
        check(r.returncode == 2 and "locked" in r.stderr,
              f"still locked with the sender gone: {r.returncode} {r.stderr}")
        status = subprocess.run([SENDER, "status"], cwd=s.dir, capture_output=True, text=True,
                                timeout=30).stdout
        check("locked by the MES (QualityIssue, by mes-jd)" in status, f"status shows it: {status}")
        s.start_sender()
        unlock = None
        for _ in range(50):
            try:
                unlock = h.ask_station(address, HANDLE, "CFX.Production.UnlockStationRequest",
                                       {"Lane": None, "Stage": None,
                                        "Requestor": {"OperatorIdentifier": "mes-jd"}}, timeout=5)
                break
            except Exception:
                time.sleep(0.2)
        check(unlock is not None and unlock["MessageBody"]["Result"]["Result"] == "Success",
              f"UnlockStation answered Success after the restart: {unlock}")
        r = s.run("SN-LOCK-3")
        check(r.returncode == 0, f"unlocked: runs again: {r.returncode} {r.stderr}")
        s.stop_sender()
        h.consume(broker, idle=1)
    finally:
        s.close()


def queued(station_dir):
    db = sqlite3.connect(os.path.join(station_dir, "cfx-queue.sqlite"))
    try:
        return db.execute("SELECT unique_id, message_name, json FROM messages WHERE state = 0"
                          " ORDER BY seq").fetchall()
    finally:
        db.close()


def test_run_messages(broker):
    print("-- a green, a red and an interrupted run's messages, read back from the broker",
          flush=True)
    s = Station(f"cfx-broker = {broker.url()}\ncfx-handle = {HANDLE}\n")
    silent = None
    try:
        with open(os.path.join(s.dir, "red.tms"), "w") as f:
            f.write("tms 1\nfrd IMEI IMEI\nfwr nosuch nosuch.bin\nti\n")
        r = s.run("SN-G1", operator="OP1")
        check(r.returncode == 0, f"the green run: {r.returncode} {r.stderr}")
        r = s.run("SN-R1 \"q\"", script="red.tms", operator='OP "2"')
        check(r.returncode == 1, f"the red run: {r.returncode} {r.stderr}")
        # The interrupted run: a handset that never answers, the run killed.
        silent_dev = os.path.join(s.dir, "silent")
        silent = subprocess.Popen([SIM, "--link", silent_dev, "--fault", "silent"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  cwd=os.path.join(EXAMPLES, "handset"))
        for _ in range(100):
            if os.path.exists(silent_dev):
                break
            time.sleep(0.05)
        tool = subprocess.Popen([FFSLOAD, "run", "--port", "3", "--device", silent_dev,
                                 "--script", "testmode.tms", "--unit", "SN-I1", "--operator",
                                 'OP "2"'], cwd=s.dir, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        # Killed once its start is queued (the handset never answers, so the
        # run then waits on it), however long a loaded machine takes to get
        # there.
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline and not any(
                name == "CFX.Production.WorkStarted" and "SN-I1" in body
                for _, name, body in queued(s.dir)):
            time.sleep(0.1)
        time.sleep(0.5)
        tool.send_signal(signal.SIGKILL)
        tool.wait()
        r = s.run("SN-G2", operator='OP "2"')
        check(r.returncode == 0, f"the run after the interrupted one: {r.returncode} {r.stderr}")
        before = queued(s.dir)
        s.start_sender()
        check(s.drained(60), "the runs' messages drain to the broker")
        s.stop_sender()
        got = [(m, h.envelope(m)) for m in h.consume(broker)]
        own = {"CFX.EndpointConnected", "CFX.EndpointShuttingDown", "CFX.Heartbeat"}
        runs = [(m, e) for m, e in got if e["MessageName"] not in own]
        check([h.body_bytes(m).decode() for m, _ in runs] == [j for _, _, j in before],
              f"every queued message arrives byte for byte, in order: {len(runs)} of "
              f"{len(before)}")
        for m, e in runs:
            check_framing(m, e)
        names = [e["MessageName"] for _, e in runs]
        results = [e["MessageBody"]["Result"] for _, e in runs
                   if e["MessageName"] == "CFX.Production.WorkCompleted"]
        check(results == ["Completed", "Failed", "Aborted", "Completed"],
              f"WorkCompleted: Completed, Failed, Aborted, Completed: {results}")
        for kind in ("CFX.Production.WorkStarted", "CFX.Production.TestAndInspection.UnitsTested",
                     "CFX.ResourcePerformance.StationStateChanged"):
            check(kind in names, f"{kind} among the run's messages: {names}")
        # One transaction per run: WorkStarted, UnitsTested and WorkCompleted agree.
        by_tx = {}
        for _, e in runs:
            b = e["MessageBody"]
            tx = b.get("TransactionID") or b.get("TransactionId")
            if tx:
                by_tx.setdefault(tx, []).append(e["MessageName"].rsplit(".", 1)[1])
        check(len(by_tx) == 4 and all(v[0] == "WorkStarted" and v[-1] == "WorkCompleted"
                                      for v in by_tx.values()),
              f"each run one transaction from WorkStarted to WorkCompleted: {by_tx}")
        tested = [e["MessageBody"] for _, e in runs
                  if e["MessageName"] == "CFX.Production.TestAndInspection.UnitsTested"]
        red = [t for t in tested if t["TestedUnits"][0]["OverallResult"] == "Failed"]
        if check(len(red) == 1, f"one red UnitsTested: {len(red)}"):
            unit = red[0]["TestedUnits"][0]
            check(unit["UnitIdentifier"] == 'SN-R1 "q"', f"the serial as it is: {unit}")
            check(red[0]["Tester"]["OperatorIdentifier"] == 'OP "2"', "the operator as it is")
            tests = unit["Tests"]
            check([t["Result"] for t in tests] == ["Passed", "Passed", "Failed"] and
                  tests[-1]["SymptomsFound"], f"the lines before the failure passed, the "
                  f"failing one failed with a symptom: {[t['Result'] for t in tests]}")
    finally:
        if silent:
            silent.kill()
            silent.wait()
        s.close()


def answered(address, timeout=10):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            reply = h.ask_station(address, HANDLE, "CFX.AreYouThereRequest",
                                  {"CFXHandle": HANDLE}, timeout=5)
            if reply and reply["MessageName"] == "CFX.AreYouThereResponse":
                return True
        except Exception:
            pass
        time.sleep(0.2)
    return False


PROBES = ["tcp-close", "dev-tcp", "http-get", "half-header", "garbage", "oversize-frame",
          "sasl-plain", "killed-client", "silent-client"]


def test_probes(broker, runs=40):
    print("-- every kind of peer at the responder's port while messages flow", flush=True)
    port = h.free_port()
    address = f"127.0.0.1:{port}"
    s = Station(f"cfx-broker = {broker.url()}\ncfx-handle = {HANDLE}\ncfx-heartbeat = 300\n"
                f"cfx-listen = {address}\n")
    held = []
    try:
        s.start_sender()
        check(answered(address), "the responder answers before the probes")
        feeder = subprocess.Popen([QUEUE_RUNS, s.dir, "--runs", str(runs), "--pace-ms", "500"],
                                  stdout=subprocess.PIPE, text=True)
        for kind in PROBES:
            for _ in range(3 if kind != "silent-client" else 1):
                process = h.probe(kind, address, HANDLE)
                if process:
                    held.append(process)
            check(s.sender.poll() is None, f"the sender is still up after {kind}")
        check(answered(address), "the responder answers after the probes")
        # Bounds: a request of 64 MiB is ended at the window, not held; a
        # client alive by its heartbeats but asking nothing is closed at the
        # idle limit like the stopped one.
        huge = h.probe("huge-request", address, HANDLE)
        idle = h.probe("idle-client", address, HANDLE)
        held += [huge, idle]
        try:
            said = huge.communicate(timeout=20)[0].strip()
        except subprocess.TimeoutExpired:
            said = "still sending after 20 s"
        check(said.startswith("refused"), f"a 64 MiB request is refused: {said}")
        with open(f"/proc/{s.sender.pid}/status") as f:
            rss_kb = int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))
        check(rss_kb < 64 * 1024, f"the sender's memory after a 64 MiB request: {rss_kb} kB")
        print(f"sender's memory after a 64 MiB request: {rss_kb / 1024:.1f} MB", flush=True)
        # The stopped client outlives the idle limit (30 s) while runs go on.
        time.sleep(32)
        try:
            idle_said = idle.communicate(timeout=10)[0].strip()
        except subprocess.TimeoutExpired:
            idle_said = "still open"
        check(idle_said.endswith("closed"), f"a client kept alive by heartbeats alone is closed "
                                            f"at the idle limit: {idle_said}")
        check(s.sender.poll() is None, "the sender is still up after a client silent past the "
                                       "idle limit")
        check(answered(address), "the responder answers after the silent client")
        expected = [line.split()[1] for line in feeder.communicate(timeout=120)[0].splitlines()]
        check(s.drained(60), "the runs' messages drain while the probes come")
        check(s.stop_sender() == 0, "the sender stops in order after the probes")
        with open(os.path.join(s.dir, "sender.log"), errors="replace") as f:
            log = f.read()
        said = [line for line in log.splitlines() if "request connection from 127.0.0.1:" in line]
        check(len(said) >= len(PROBES), f"each closed connection said once with its address: "
                                        f"{said}")
        print("\n".join(said[:12]), flush=True)
        # Closed by whichever sees the silence first: the transport's idle
        # timeout, or the sweep that closes a peer that asked nothing.
        check("idle" in log or "asked nothing for" in log,
              "the silent client closed for its silence")
        delivered = [h.envelope(m)["UniqueID"] for m in h.consume(broker)]
        mine = list(dict.fromkeys(uid for uid in delivered if uid in set(expected)))
        check(mine == expected, f"every message delivered in order through the probes: "
                                f"{len(mine)} of {len(expected)}")
        print(f"probes {len(PROBES)} kinds; delivered {len(mine)} of {len(expected)}, "
              f"lost {len(expected) - len(mine)}", flush=True)
    finally:
        for process in held:
            process.kill()
            process.wait()
        s.close()


def test_tls(broker, ca):
    print("-- TLS with the line's own CA: the broker and the MES over amqps, a request port that "
          "only the CA's certificates reach", flush=True)
    station_cert, station_key = ca.issue("station", HANDLE)
    mes_cert, mes_key = ca.issue("mes", "Mes.fake.1")
    rogue_cert, rogue_key = ca.issue("rogue", "Mes.fake.1", rogue=True)
    self_cert, self_key = ca.self_signed("self-signed", "Mes.fake.1")
    port = h.free_port()
    address = f"localhost:{port}"
    tls_conf = (f"cfx-tls-cert = {station_cert}\ncfx-tls-key = {station_key}\n"
                f"cfx-tls-ca = {ca.ca}\n")
    with h.FakeMes(mode="passed", tls=(ca.ca, mes_cert, mes_key)) as mes:
        conf = (f"cfx-broker = {broker.url(tls=True)}\ncfx-handle = {HANDLE}\n"
                f"cfx-listen = 127.0.0.1:{port}\ncfx-mes = {mes.url()}\n")
        s = Station(conf + tls_conf)
        try:
            # The rogue's CA among the system's CAs, as a public CA is: the
            # station must trust cfx-tls-ca alone.
            s.start_sender(env=dict(os.environ, SSL_CERT_FILE=ca.rogue_ca))
            mes_tls = h.client_tls(ca.ca, mes_cert, mes_key)
            reply = None
            deadline = time.monotonic() + 20
            while reply is None and time.monotonic() < deadline:
                try:
                    reply = h.ask_station(address, HANDLE, "CFX.AreYouThereRequest",
                                          {"CFXHandle": HANDLE}, timeout=5, ssl_domain=mes_tls)
                except Exception:
                    time.sleep(0.2)
            body = (reply or {}).get("MessageBody", {})
            check(body.get("CFXHandle") == HANDLE and
                  body.get("RequestNetworkUri") == f"amqps://127.0.0.1:{port}",
                  f"the MES's certificate from the CA: answered, the port advertised as amqps: "
                  f"{reply}")

            def refused(what, domain):
                try:
                    got = h.ask_station(address, HANDLE, "CFX.Production.LockStationRequest",
                                        {"Lane": None, "Stage": None, "Reason": "GeneralLock",
                                         "Requestor": None}, timeout=5, ssl_domain=domain)
                except Exception as e:
                    got = e
                check(not isinstance(got, dict), f"{what}: refused before any request: {got}")
            refused("a certificate of another CA (one among the system's CAs)",
                    h.client_tls(ca.ca, rogue_cert, rogue_key))
            refused("a self-signed certificate", h.client_tls(ca.ca, self_cert, self_key))
            refused("no certificate", h.client_tls(ca.ca))
            refused("plain AMQP on the TLS port", None)
            check(not os.path.exists(os.path.join(s.dir, "cfx-station-lock.json")),
                  "no refused client locked the station")
            check(s.sender.poll() is None, "the sender is up after the refused handshakes")
            check(s.drained(30), "the queue drains to the broker over amqps")
            names = [h.envelope(m)["MessageName"] for m in h.consume(broker, idle=1)]
            check("CFX.EndpointConnected" in names, f"EndpointConnected arrived over amqps: {names}")
            r = subprocess.run([SENDER, "status"], cwd=s.dir, capture_output=True, text=True,
                               timeout=30)
            check(r.returncode == 0 and "broker reachable: yes" in r.stdout,
                  f"status over amqps: {r.returncode} {r.stdout}")
            r = subprocess.run([SENDER, "validate", "--serial", "SN-TLS-1", "--port", "1"],
                               cwd=s.dir, capture_output=True, text=True, timeout=30)
            check(r.stdout.strip() == "passed" and mes.requests,
                  f"the MES asked over amqps, the station's certificate shown: {r.stdout} "
                  f"{r.stderr}")
            check(s.stop_sender() == 0, "the sender stops in order")
            with open(os.path.join(s.dir, "sender.log"), errors="replace") as f:
                log = f.read()
            said = [line for line in log.splitlines() if "request connection from" in line]
            check(len(said) >= 4, f"each refused handshake said once with its address: {said}")
            print("\n".join(said[:6]), flush=True)

            # The broker verified against the CA: one that did not sign its
            # certificate is refused, and said.
            s.write_conf(conf + f"cfx-tls-cert = {station_cert}\ncfx-tls-key = {station_key}\n"
                         f"cfx-tls-ca = {ca.rogue_ca}\n")
            r = subprocess.run([SENDER, "status"], cwd=s.dir, capture_output=True, text=True,
                               timeout=30)
            check(r.returncode != 0 and "broker reachable: no" in r.stdout and
                  "certificate verify failed" in r.stdout,
                  f"a broker the CA did not sign is refused: {r.returncode} {r.stdout}")
            # Files that cannot serve: the sender refuses to start and says why.
            s.write_conf(conf + f"cfx-tls-cert = {station_cert}\ncfx-tls-key = {mes_key}\n"
                         f"cfx-tls-ca = {ca.ca}\n")
            r = subprocess.run([SENDER, "serve", "--exit-when-busy"], cwd=s.dir,
                               capture_output=True, text=True, timeout=30)
            check(r.returncode == 2 and "its own private key" in r.stderr,
                  f"a key that is not the certificate's: the sender refuses: {r.returncode} "
                  f"{r.stderr}")
            h.consume(broker, idle=1)
        finally:
            s.close()


def test_broker_killed(broker, runs):
    print(f"-- {runs} runs' messages while the broker and the sender are killed", flush=True)
    s = Station(f"cfx-broker = {broker.url()}\ncfx-handle = {HANDLE}\ncfx-heartbeat = 300\n")
    try:
        s.start_sender()
        first = subprocess.run([QUEUE_RUNS, s.dir, "--runs", str(runs // 2)],
                               capture_output=True, text=True, timeout=60)
        time.sleep(0.3)
        broker.kill()
        s.stop_sender(signal.SIGKILL)
        s.start_sender()
        second = subprocess.run([QUEUE_RUNS, s.dir, "--runs", str(runs - runs // 2), "--first",
                                 str(runs // 2 + 1)], capture_output=True, text=True, timeout=60)
        broker.start()
        up = time.monotonic()
        check(s.drained(60), "the queue drains once the broker is back")
        flowing = time.monotonic() - up
        check(flowing < 15, f"the queue flows again within 15 s: {flowing:.1f} s")
        s.stop_sender()
        expected = [line.split()[1] for line in (first.stdout + second.stdout).splitlines()]
        delivered = [h.envelope(m)["UniqueID"] for m in h.consume(broker)]
        mine = [uid for uid in delivered if uid in set(expected)]
        firsts = list(dict.fromkeys(mine))
        check(firsts == expected, f"every message, in order: {len(firsts)} of {len(expected)}")
        check(len(mine) - len(firsts) == len(mine) - len(set(mine)),
              "duplicates only with the same UniqueID")
        print(f"delivered {len(firsts)} of {len(expected)}, duplicates {len(mine) - len(firsts)},"
              f" flowing again {flowing:.1f} s after the broker answered", flush=True)
    finally:
        s.close()


def test_refused_link(broker):
    print("-- a link the broker refuses (no such exchange) is tried again", flush=True)
    s = Station(f"cfx-broker = {broker.url()}\ncfx-handle = {HANDLE}\n"
                f"cfx-target = /exchange/late\n")
    try:
        s.start_sender()
        started = time.monotonic()

        def status():
            return subprocess.run([SENDER, "status"], cwd=s.dir, capture_output=True, text=True,
                                  timeout=30)

        # Failing, said and non-zero, for as long as the exchange is missing:
        # 30 s, long past the back-off's reaching its longest wait (1+2+4+8 s).
        seen, always = 0, True
        while time.monotonic() - started < 30:
            r = status()
            failing = re.search(r"^delivery failing since .+ \((.*not-found.*)\)$", r.stdout, re.M)
            if failing:
                seen += 1
                always = always and r.returncode != 0
            elif seen:
                always = False
            time.sleep(1)
        check(seen >= 10 and always,
              f"status says delivery is failing, non-zero, meanwhile ({seen} times): {r.stdout}")
        broker.add_exchange("late")
        created = time.monotonic()
        check(s.drained(30), "the queue drains once the exchange exists")
        resumed = time.monotonic() - created
        check(resumed <= 15, f"delivery resumes within 15 s of the exchange: {resumed:.1f} s")
        r = status()
        check(r.returncode == 0 and "delivery failing" not in r.stdout,
              f"status is clean again: {r.returncode} {r.stdout}")
        names = [h.envelope(m)["MessageName"] for m in h.consume(broker, idle=1)]
        check("CFX.EndpointConnected" in names, f"the waiting message arrived: {names}")
        print(f"delivery resumed {resumed:.1f} s after the exchange was created "
              f"({time.monotonic() - started:.1f} s after the sender started)", flush=True)
    finally:
        s.close()


UNIT_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data",
                         "systemd", "ffsload-cfx@.service")


def unit_command():
    """The unit's ExecStart, with this build's ffsload for the installed one."""
    with open(UNIT_FILE) as f:
        line = next(line for line in f if line.startswith("ExecStart="))
    words = line.split("=", 1)[1].split()
    check(words[0] == "/usr/bin/ffsload", f"the unit starts /usr/bin/ffsload: {words}")
    return [FFSLOAD] + words[1:]


def owner_name(path):
    import pwd
    return pwd.getpwuid(os.stat(path).st_uid).pw_name


def test_unit_as_root(broker):
    print("-- the unit's command as root in a folder of another user: the sender runs as that "
          "user, and that user's runs queue their messages", flush=True)
    if os.geteuid() != 0:
        print("skipped: not root", flush=True)
        return
    import pwd
    user = pwd.getpwnam("nobody")
    s = Station(f"cfx-broker = {broker.url()}\ncfx-handle = {HANDLE}\ncfx-heartbeat = 300\n")
    try:
        # A folder that is root's is refused: the service never runs as root.
        r = subprocess.run(unit_command() + ["--exit-when-busy"], cwd=s.dir, capture_output=True,
                           text=True, timeout=30)
        check(r.returncode == 2 and "is root's" in r.stderr and
              not os.path.exists(os.path.join(s.dir, "cfx-queue.sqlite")),
              f"a root's folder is refused, nothing made there: {r.returncode} {r.stderr}")
        for root, dirs, files in os.walk(s.dir):
            for name in dirs + files:
                os.lchown(os.path.join(root, name), user.pw_uid, user.pw_gid)
        os.chown(s.dir, user.pw_uid, user.pw_gid)
        # The operator's handset, as a fixture in the dialout group would be.
        os.chown(os.path.realpath(s.handset), user.pw_uid, user.pw_gid)
        log = open(os.path.join(s.dir, "service.log"), "ab")
        service = subprocess.Popen(unit_command(), cwd=s.dir, stdout=log, stderr=log)
        try:
            lock = os.path.join(s.dir, "cfx-sender.lock")
            deadline = time.monotonic() + 20
            while time.monotonic() < deadline and not os.path.exists(lock):
                time.sleep(0.1)
            with open(f"/proc/{service.pid}/status") as f:
                uid = re.search(r"^Uid:\s+(\d+)\s+(\d+)", f.read(), re.M)
            check(uid and int(uid.group(1)) == user.pw_uid and int(uid.group(2)) == user.pw_uid,
                  f"the sender runs as the folder's owner: {uid and uid.groups()}")
            as_user = dict(user=user.pw_uid, group=user.pw_gid, extra_groups=[],
                           env={"PATH": "/usr/bin:/bin", "HOME": s.dir, "LANG": "C.UTF-8"})
            r = subprocess.run([FFSLOAD, "run", "--port", "3", "--device", s.handset, "--script",
                                "testmode.tms", "--unit", "SN-OWNER-1"], cwd=s.dir,
                               capture_output=True, text=True, timeout=60, **as_user)
            check(r.returncode == 0 and "readonly" not in r.stderr,
                  f"the owner's run: green, its messages queued: {r.returncode} {r.stderr}")
            deadline = time.monotonic() + 30
            status = None
            while time.monotonic() < deadline:
                status = subprocess.run([SENDER, "status"], cwd=s.dir, capture_output=True,
                                        text=True, timeout=30, **as_user)
                if "messages waiting: 0" in status.stdout:
                    break
                time.sleep(0.3)
            check(status.returncode == 0 and "sender running: yes" in status.stdout and
                  "messages waiting: 0" in status.stdout and "not writable" not in status.stdout,
                  f"status as the owner: running, nothing waiting, every file writable: "
                  f"{status.returncode} {status.stdout}")
            files = [name for name in os.listdir(s.dir) if name.startswith("cfx-")]
            owners = {name: owner_name(os.path.join(s.dir, name)) for name in files}
            check("cfx-queue.sqlite" in owners and "cfx-sender.lock" in owners and
                  set(owners.values()) == {user.pw_name},
                  f"the queue and the lock are the owner's: {owners}")
        finally:
            service.send_signal(signal.SIGTERM)
            rc = service.wait(30)
        check(rc == 0, f"the service stops in order: {rc}")
        got = [h.envelope(m) for m in h.consume(broker, idle=1)]
        started = [e for e in got if e["MessageName"] == "CFX.Production.WorkStarted"]
        check(any(e["MessageBody"]["PrimaryIdentifier"] == "SN-OWNER-1" for e in started),
              f"the owner's run reached the broker: {[e['MessageName'] for e in got]}")
        print(f"sender as {user.pw_name} (uid {user.pw_uid}); cfx files: {owners}; "
              f"{len(got)} messages delivered", flush=True)
    finally:
        s.close()


def test_listen_taken(broker):
    print("-- a request port already taken is an error that status shows; delivery goes on",
          flush=True)
    taken = socket.socket()
    taken.bind(("127.0.0.1", 0))
    taken.listen()
    port = taken.getsockname()[1]
    s = Station(f"cfx-broker = {broker.url()}\ncfx-handle = {HANDLE}\n"
                f"cfx-listen = 127.0.0.1:{port}\n")
    try:
        s.start_sender()
        check(s.drained(30), "the queue drains with the request port taken")
        r = subprocess.run([SENDER, "status"], cwd=s.dir, capture_output=True, text=True,
                           timeout=30)
        check(r.returncode != 0 and re.search(r"^request port failing since .+ \(.+\)$",
                                              r.stdout, re.M),
              f"status says the request port fails, non-zero: {r.returncode} {r.stdout}")
        s.stop_sender()
        with open(os.path.join(s.dir, "sender.log"), errors="replace") as f:
            log = f.read()
        check("error: cannot listen for the MES's requests" in log, f"said on stderr: {log}")
        h.consume(broker, idle=1)
    finally:
        taken.close()
        s.close()


def main():
    h.skip_unless_available()
    for program in (FFSLOAD, SENDER, SIM, QUEUE_RUNS):
        if not os.path.exists(program):
            sys.exit(f"{program} is not built")
    ca = h.TestCa()
    broker_cert, broker_key = ca.issue("broker", "localhost")
    broker = h.Broker(tls=(ca.ca, broker_cert, broker_key))
    try:
        t = time.monotonic()
        broker.start()
        print(f"broker up in {time.monotonic() - t:.1f} s", flush=True)
        test_endpoint_messages(broker)
        test_password(broker)
        test_validation(broker)
        test_lock(broker)
        test_refused_link(broker)
        test_listen_taken(broker)
        test_tls(broker, ca)
        test_unit_as_root(broker)
        test_probes(broker)
        test_run_messages(broker)
        test_broker_killed(broker, 20)
    finally:
        broker.close()
        ca.close()
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print("every check passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
