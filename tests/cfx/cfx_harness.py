"""Real components for the station's CFX tests: a throwaway RabbitMQ on
loopback with the AMQP 1.0 plugin, a consumer that reads what reached it,
a fake MES that answers the station's requests, and a requester that asks
the station as an MES would.

The broker runs as the "rabbitmq" system user (never root) with its whole
state in a folder of its own under /tmp, on free ports, and is stopped by
its process ids (the server's process group and its epmd), never by name.
Python's binding of Qpid Proton is Debian's python3-qpid-proton, found by
Debian's /usr/bin/python3."""
import base64
import hashlib
import json
import os
import pwd
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
import uuid

SKIP = 77  # ctest's SKIP_RETURN_CODE for these tests
SERVER = "/usr/lib/rabbitmq/bin/rabbitmq-server"
CTL = "/usr/lib/rabbitmq/bin/rabbitmqctl"
EXCHANGE = "cfx"
QUEUE = "cfx-test"
USER, PASSWORD = "station", "line-secret"


def skip_unless_available():
    """Exits with SKIP and the reason when a real component is missing."""
    why = None
    if not os.path.exists(SERVER):
        why = "rabbitmq-server is not installed (scripts/setup.sh installs it)"
    else:
        try:
            pwd.getpwnam("rabbitmq")
        except KeyError:
            why = 'no "rabbitmq" system user: install the rabbitmq-server package'
    if why is None:
        try:
            import proton  # noqa: F401
        except ImportError:
            why = "python3-qpid-proton is not installed (scripts/setup.sh installs it)"
    if why is None and not shutil.which("openssl"):
        why = "the openssl command is not installed (scripts/setup.sh installs it)"
    if why:
        print(f"SKIP: {why}")
        raise SystemExit(SKIP)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def password_hash(password):
    # RabbitMQ's default: base64(salt + sha256(salt + password)).
    salt = os.urandom(4)
    return base64.b64encode(salt + hashlib.sha256(salt + password.encode()).digest()).decode()


class TestCa:
    """A certificate authority of the test's own, made at test time with the
    openssl command (no key is ever committed), the certificates it signs,
    and a second, rogue authority that signs nothing the station should
    take. Each certificate names "localhost", the host the test's amqps://
    URLs use (Proton matches a certificate's DNS names, not its addresses)."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="ffsload-ca-")
        # The broker reads its files as the "rabbitmq" user.
        os.chmod(self.dir, 0o755)
        self.ca, self._ca_key = self._authority("ca", "ffsload test CA")
        self.rogue_ca, self._rogue_key = self._authority("rogue-ca", "Rogue CA")

    def _openssl(self, *args):
        subprocess.run(["openssl", *args], cwd=self.dir, check=True, capture_output=True,
                       timeout=60)

    def _key(self, name):
        key = os.path.join(self.dir, name + ".key")
        self._openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
                      "-out", key)
        os.chmod(key, 0o644)
        return key

    def _authority(self, name, cn):
        key = self._key(name)
        cert = os.path.join(self.dir, name + ".pem")
        self._openssl("req", "-x509", "-new", "-key", key, "-out", cert, "-days", "2",
                      "-subj", f"/CN={cn}", "-addext", "basicConstraints=critical,CA:TRUE",
                      "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        return cert, key

    def issue(self, name, cn, rogue=False):
        """A certificate for `cn` (and "localhost") signed by the test's CA,
        or by the rogue one; returns (certificate, key) paths."""
        key = self._key(name)
        csr = os.path.join(self.dir, name + ".csr")
        cert = os.path.join(self.dir, name + ".pem")
        ext = os.path.join(self.dir, name + ".ext")
        with open(ext, "w") as f:
            f.write(f"subjectAltName=DNS:localhost,DNS:{cn}\nbasicConstraints=CA:FALSE\n"
                    "extendedKeyUsage=serverAuth,clientAuth\n")
        self._openssl("req", "-new", "-key", key, "-out", csr, "-subj", f"/CN={cn}")
        ca, ca_key = (self.rogue_ca, self._rogue_key) if rogue else (self.ca, self._ca_key)
        self._openssl("x509", "-req", "-in", csr, "-CA", ca, "-CAkey", ca_key, "-CAcreateserial",
                      "-out", cert, "-days", "2", "-extfile", ext)
        return cert, key

    def self_signed(self, name, cn):
        key = self._key(name)
        cert = os.path.join(self.dir, name + ".pem")
        self._openssl("req", "-x509", "-new", "-key", key, "-out", cert, "-days", "2",
                      "-subj", f"/CN={cn}", "-addext", f"subjectAltName=DNS:localhost,DNS:{cn}")
        return cert, key

    def close(self):
        shutil.rmtree(self.dir, ignore_errors=True)


def client_tls(ca, cert=None, key=None):
    """Proton's client TLS: the server verified against `ca` by its name,
    with a certificate of the client's own when given."""
    from proton import SSLDomain
    domain = SSLDomain(SSLDomain.MODE_CLIENT)
    if cert:
        domain.set_credentials(cert, key, None)
    domain.set_trusted_ca_db(ca)
    domain.set_peer_authentication(SSLDomain.VERIFY_PEER_NAME)
    return domain


class Broker:
    """A RabbitMQ node of the test's own: exchange "cfx" (topic) with the
    queue "cfx-test" bound by "#", users guest (ANONYMOUS maps to it) and
    station/line-secret. With `tls` ((CA, certificate, key) files) it also
    takes amqps:// on a port of its own (url(tls=True))."""

    def __init__(self, tls=None):
        self.dir = tempfile.mkdtemp(prefix="ffsload-rabbit-")
        self.port = free_port()
        self.tls_port = free_port() if tls else None
        self.dist_port = free_port()
        self.epmd_port = free_port()
        self.node = f"ffsload{self.port}@localhost"
        self.proc = None
        user = pwd.getpwnam("rabbitmq")
        self.uid, self.gid = user.pw_uid, user.pw_gid
        definitions = {
            "users": [
                {"name": "guest", "password_hash": password_hash("guest"),
                 "hashing_algorithm": "rabbit_password_hashing_sha256", "tags": ["administrator"]},
                {"name": USER, "password_hash": password_hash(PASSWORD),
                 "hashing_algorithm": "rabbit_password_hashing_sha256", "tags": []},
            ],
            "vhosts": [{"name": "/"}],
            "permissions": [
                {"user": u, "vhost": "/", "configure": ".*", "write": ".*", "read": ".*"}
                for u in ("guest", USER)
            ],
            "exchanges": [{"name": EXCHANGE, "vhost": "/", "type": "topic", "durable": True,
                           "auto_delete": False, "internal": False, "arguments": {}}],
            "queues": [{"name": QUEUE, "vhost": "/", "durable": True, "auto_delete": False,
                        "arguments": {}}],
            "bindings": [{"source": EXCHANGE, "vhost": "/", "destination": QUEUE,
                          "destination_type": "queue", "routing_key": "#", "arguments": {}}],
        }
        self._write("definitions.json", json.dumps(definitions))
        self._write("enabled_plugins", "[rabbitmq_amqp1_0].\n")
        self._write("rabbitmq.conf", "\n".join([
            f"listeners.tcp.1 = 127.0.0.1:{self.port}",
            f"load_definitions = {self.dir}/definitions.json",
            "loopback_users = none",
            "log.console = false",
            "log.file.level = warning",
            ""] + ([
                f"listeners.ssl.1 = 127.0.0.1:{self.tls_port}",
                f"ssl_options.cacertfile = {tls[0]}",
                f"ssl_options.certfile = {tls[1]}",
                f"ssl_options.keyfile = {tls[2]}",
                "ssl_options.verify = verify_peer",
                "ssl_options.fail_if_no_peer_cert = false",
                ""] if tls else [])))
        os.makedirs(f"{self.dir}/mnesia")
        os.makedirs(f"{self.dir}/log")
        for root, dirs, files in os.walk(self.dir):
            for name in dirs + files:
                os.chown(os.path.join(root, name), self.uid, self.gid)
        os.chown(self.dir, self.uid, self.gid)

    def _write(self, name, text):
        with open(os.path.join(self.dir, name), "w") as f:
            f.write(text)

    def env(self):
        dist = "-kernel inet_dist_use_interface {127,0,0,1}"
        env = {
            "PATH": "/usr/sbin:/usr/bin:/sbin:/bin",
            "HOME": self.dir,
            "LANG": "C.UTF-8",
            "RABBITMQ_NODENAME": self.node,
            "RABBITMQ_CONFIG_FILE": f"{self.dir}/rabbitmq.conf",
            "RABBITMQ_ENABLED_PLUGINS_FILE": f"{self.dir}/enabled_plugins",
            "RABBITMQ_MNESIA_BASE": f"{self.dir}/mnesia",
            "RABBITMQ_LOG_BASE": f"{self.dir}/log",
            "RABBITMQ_PID_FILE": f"{self.dir}/rabbit.pid",
            "RABBITMQ_NODE_IP_ADDRESS": "127.0.0.1",
            "RABBITMQ_NODE_PORT": str(self.port),
            "RABBITMQ_DIST_PORT": str(self.dist_port),
            "ERL_EPMD_ADDRESS": "127.0.0.1",
            "ERL_EPMD_PORT": str(self.epmd_port),
            "RABBITMQ_SERVER_ADDITIONAL_ERL_ARGS": dist,
            "RABBITMQ_CTL_ERL_ARGS": dist,
        }
        return env

    def start(self, timeout=60):
        """Starts the node and waits until it takes an AMQP 1.0 connection."""
        self.proc = subprocess.Popen(
            [SERVER], cwd=self.dir, env=self.env(), user=self.uid, group=self.gid,
            extra_groups=[], start_new_session=True, stdin=subprocess.DEVNULL,
            stdout=open(f"{self.dir}/server.out", "ab"), stderr=subprocess.STDOUT)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise RuntimeError("the broker ended at start: " + self.log_tail())
            if self.answers():
                return
            time.sleep(0.25)
        raise RuntimeError(f"the broker did not answer within {timeout} s: " + self.log_tail())

    def answers(self):
        from proton.utils import BlockingConnection
        try:
            conn = BlockingConnection(self.url(), timeout=2, sasl_enabled=True,
                                      allowed_mechs="ANONYMOUS")
            conn.close()
            return True
        except Exception:
            return False

    def log_tail(self):
        text = ""
        for name in ("server.out",):
            try:
                with open(os.path.join(self.dir, name), errors="replace") as f:
                    text += f.read()[-3000:]
            except OSError:
                pass
        return text

    def kill(self):
        """SIGKILL, as a power cut or the OOM killer would end it."""
        if self.proc and self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.proc.wait()
        self.proc = None

    def epmd_pids(self):
        """The epmd of this node's port: it outlives the node."""
        pids = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/cmdline", "rb") as f:
                    cmd = f.read().split(b"\0")
                if not cmd or not cmd[0].endswith(b"epmd"):
                    continue
                with open(f"/proc/{entry}/environ", "rb") as f:
                    env = f.read().split(b"\0")
                if f"ERL_EPMD_PORT={self.epmd_port}".encode() in env:
                    pids.append(int(entry))
            except OSError:
                continue
        return pids

    def close(self):
        self.kill()
        for pid in self.epmd_pids():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        shutil.rmtree(self.dir, ignore_errors=True)

    def add_exchange(self, name):
        """Creates the topic exchange NAME bound to the test queue by "#", as a
        line's administrator would after the station started (AMQP 1.0
        cannot create one)."""
        path = os.path.join(self.dir, f"exchange-{name}.json")
        self._write(os.path.basename(path), json.dumps({
            "exchanges": [{"name": name, "vhost": "/", "type": "topic", "durable": True,
                           "auto_delete": False, "internal": False, "arguments": {}}],
            "bindings": [{"source": name, "vhost": "/", "destination": QUEUE,
                          "destination_type": "queue", "routing_key": "#", "arguments": {}}]}))
        os.chown(path, self.uid, self.gid)
        subprocess.run([CTL, "-n", self.node, "import_definitions", path],
                       env=self.env(), user=self.uid, group=self.gid, extra_groups=[],
                       cwd=self.dir, check=True, capture_output=True, timeout=60)

    def url(self, user=None, tls=False):
        who = f"{user}@" if user else ""
        if tls:
            return f"amqps://{who}localhost:{self.tls_port}"
        return f"amqp://{who}127.0.0.1:{self.port}"

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def consume(broker, idle=2.0, limit=None, timeout=60):
    """Reads and accepts every message of the test queue until none came for
    `idle` seconds; returns [(proton message, body bytes)] in arrival order."""
    from proton.utils import BlockingConnection
    from proton import Timeout
    conn = BlockingConnection(broker.url(), timeout=timeout, allowed_mechs="ANONYMOUS")
    try:
        receiver = conn.create_receiver(f"/amq/queue/{QUEUE}", credit=500)
        got = []
        while limit is None or len(got) < limit:
            try:
                msg = receiver.receive(timeout=idle)
            except Timeout:
                break
            got.append(msg)
            receiver.accept()
        return got
    finally:
        conn.close()


def body_bytes(msg):
    body = msg.body
    if isinstance(body, memoryview):
        body = body.tobytes()
    return body


def envelope(msg):
    return json.loads(body_bytes(msg).decode("utf-8"))


class FakeMes:
    """An MES endpoint on loopback that answers ValidateUnitsRequest as
    `mode` says: "passed", "failed", "notsupported" or "silent". Runs its
    own Proton container in a thread; `requests` holds what it was asked."""

    def __init__(self, handle="Mes.fake.1", mode="passed", failure_code=42,
                 failure_message="unit is not at this step of its route", tls=None):
        from proton.handlers import MessagingHandler
        self.port = free_port()
        self.handle = handle
        self.mode = mode
        self.failure_code = failure_code
        self.failure_message = failure_message
        self.requests = []
        self.answered_at = []
        self.tls = tls
        outer = self

        class Handler(MessagingHandler):
            def __init__(self):
                super().__init__()
                self.senders = {}

            def on_start(self, event):
                domain = None
                if tls:
                    from proton import SSLDomain
                    domain = SSLDomain(SSLDomain.MODE_SERVER)
                    domain.set_credentials(tls[1], tls[2], None)
                    domain.set_trusted_ca_db(tls[0])
                    domain.set_peer_authentication(SSLDomain.VERIFY_PEER, tls[0])
                self.acceptor = event.container.listen(f"127.0.0.1:{outer.port}",
                                                       ssl_domain=domain)
                outer._ready.set()

            def on_link_opening(self, event):
                link = event.link
                if link.is_sender:
                    address = link.remote_source.address
                    link.source.address = address
                    self.senders[address] = link
                elif link.remote_target.address:
                    link.target.address = link.remote_target.address

            def on_message(self, event):
                request = json.loads(body_bytes(event.message).decode("utf-8"))
                outer.requests.append((event.message, request))
                reply = outer.answer(request)
                if reply is None:
                    return
                sender = self.senders.get(event.message.reply_to)
                if sender is None:
                    sender = event.connection.session().sender(None)
                    sender.target.address = event.message.reply_to
                    sender.open()
                from proton import Message
                # Two answers sent in one go leave in one TCP segment.
                for one in reply if isinstance(reply, list) else [reply]:
                    body = one if isinstance(one, bytes) else json.dumps(one).encode()
                    out = Message(body=body, inferred=True,
                                  content_type='application/json; charset="utf-8"',
                                  correlation_id=event.message.correlation_id,
                                  address=event.message.reply_to)
                    sender.send(out)
                outer.answered_at.append(time.monotonic())

        from proton.reactor import Container
        self._ready = threading.Event()
        self.container = Container(Handler())
        self.container.container_id = handle
        self.thread = threading.Thread(target=self.container.run, daemon=True)
        self.thread.start()
        if not self._ready.wait(10):
            raise RuntimeError("the fake MES did not start")

    def url(self):
        if self.tls:
            return f"amqps://localhost:{self.port}/ {self.handle}"
        return f"amqp://127.0.0.1:{self.port}/ {self.handle}"

    def answer(self, request):
        if self.mode == "silent":
            return None
        # Two answers to the one request, sent in one go: the first decides.
        if self.mode == "failed-then-passed":
            return [self.one_answer(request, "failed"), self.one_answer(request, "passed")]
        if self.mode == "garbage-then-passed":
            return [b"{garbage", self.one_answer(request, "passed")]
        return self.one_answer(request, self.mode)

    def one_answer(self, request, mode):
        name = request.get("MessageName", "")
        base = {"Version": "2.1", "TimeStamp": "2026-12-08T17:06:05.123+00:00",
                "UniqueID": str(uuid.uuid4()), "Source": self.handle,
                "Target": request.get("Source"), "RequestID": request.get("RequestID")}
        if mode == "notsupported" or not name.endswith("ValidateUnitsRequest"):
            return {**base, "MessageName": "CFX.NotSupportedResponse", "MessageBody": {
                "$type": "CFX.NotSupportedResponse, CFX",
                "RequestResult": {"Result": "Failed", "ResultCode": 0,
                                  "Message": "not supported here"}}}
        body = request["MessageBody"]
        serial = body.get("PrimaryIdentifier")
        passed = mode == "passed"
        result = {"UniqueIdentifier": serial, "PositionNumber": 1,
                  "Result": "Passed" if passed else "Failed",
                  "FailureCode": 0 if passed else self.failure_code,
                  "Message": "" if passed else self.failure_message}
        return {**base, "MessageName":
                "CFX.InformationSystem.UnitValidation.ValidateUnitsResponse",
                "MessageBody": {
                    "$type": "CFX.InformationSystem.UnitValidation.ValidateUnitsResponse, CFX",
                    "Result": {"Result": "Success", "ResultCode": 0, "Message": None},
                    "PrimaryResult": result, "ValidationResults": [result]}}

    def close(self):
        self.container.stop()
        self.thread.join(5)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def ask_station(address, station_handle, message_name, body, timeout=10, requester="Mes.fake.1",
                target=None, body_type=None, ssl_domain=None):
    """Sends one request to the station's responder as an MES does and
    returns the reply's envelope (None when none came in time). `target` and
    `body_type` put another Target or $type in the envelope than the
    station's handle and the message's own; with `ssl_domain` (client_tls)
    it connects over TLS."""
    from proton import Message, Timeout
    from proton.utils import BlockingConnection
    request_id = f"REQUEST-{uuid.uuid4()}"
    envelope_out = {
        "MessageName": message_name, "Version": "2.1",
        "TimeStamp": "2026-12-08T17:06:05.123+00:00", "UniqueID": str(uuid.uuid4()),
        "Source": requester, "Target": target or station_handle, "RequestID": request_id,
        "MessageBody": {"$type": (body_type or message_name) + ", CFX", **body}}
    scheme = "amqps" if ssl_domain else "amqp"
    conn = BlockingConnection(f"{scheme}://{address}", timeout=timeout, allowed_mechs="ANONYMOUS",
                              ssl_domain=ssl_domain)
    try:
        reply_to = f"{requester}/reply-{uuid.uuid4()}"
        receiver = conn.create_receiver(reply_to)
        sender = conn.create_sender(station_handle)
        sender.send(Message(body=json.dumps(envelope_out).encode(), inferred=True,
                            reply_to=reply_to, address=station_handle,
                            correlation_id=request_id,
                            content_type='application/json; charset="utf-8"'))
        try:
            msg = receiver.receive(timeout=timeout)
        except Timeout:
            return None
        receiver.accept()
        return envelope(msg)
    finally:
        conn.close()


# The kinds of connection anything on the network may make to a responder's
# port; each returns what it needs cleaning up (a process), or None.
PROBE_CLIENT = r"""
import sys, time
from proton.utils import BlockingConnection
conn = BlockingConnection(sys.argv[1], timeout=10, allowed_mechs="ANONYMOUS")
conn.create_receiver(sys.argv[2] + "/reply-probe")
conn.create_sender(sys.argv[2])
print("open", flush=True)
time.sleep(3600)
"""


# A client that keeps its connection alive with heartbeats and asks nothing;
# says "open", then "closed" when the station closes it.
IDLE_CLIENT = r"""
import sys
from proton.handlers import MessagingHandler
from proton.reactor import Container
class Idle(MessagingHandler):
    def on_start(self, event):
        c = event.container.connect(sys.argv[1], allowed_mechs="ANONYMOUS", heartbeat=2,
                                    reconnect=False)
        event.container.create_receiver(c, sys.argv[2] + "/reply-idle")
    def on_connection_opened(self, event):
        print("open", flush=True)
    def on_disconnected(self, event):
        event.container.stop()
Container(Idle()).run()
print("closed", flush=True)
"""

# A request far beyond the station's largest; exits once the station ends it.
HUGE_REQUEST = r"""
import sys
from proton import Message
from proton.utils import BlockingConnection
conn = BlockingConnection(sys.argv[1], timeout=60, allowed_mechs="ANONYMOUS")
sender = conn.create_sender(sys.argv[2])
try:
    sender.send(Message(body=b"{" + b" " * (int(sys.argv[3]) - 2) + b"}", inferred=True))
    print("taken", flush=True)
except Exception as e:
    print("refused", type(e).__name__, flush=True)
"""


def probe(kind, address, station_handle):
    import socket
    host, port = address.rsplit(":", 1)
    if kind in ("tcp-close", "dev-tcp", "http-get", "garbage", "half-header"):
        payload = {"tcp-close": b"", "dev-tcp": b"\n",
                   "http-get": b"GET / HTTP/1.1\r\nHost: station\r\n\r\n",
                   "garbage": bytes(range(256)) * 4,
                   # Half of the SASL layer's protocol header, then gone.
                   "half-header": b"AMQP\x03"}[kind]
        with socket.create_connection((host, int(port)), timeout=5) as sock:
            if payload:
                sock.sendall(payload)
        return None
    if kind == "oversize-frame":
        # The protocol header, then a frame that says it is 2 GiB long: the
        # station must end the connection, not wait for (or make room for) it.
        import struct
        with socket.create_connection((host, int(port)), timeout=5) as sock:
            sock.sendall(b"AMQP\x00\x01\x00\x00" + struct.pack(">IBBH", 0x7FFFFFF0, 2, 0, 0) +
                         b"\x00" * 512)
            try:
                while sock.recv(4096):
                    pass
            except OSError:
                pass
        return None
    if kind == "sasl-plain":
        from proton.utils import BlockingConnection
        try:
            BlockingConnection(f"amqp://intruder:secret@{address}", timeout=5,
                               allowed_mechs="PLAIN", allow_insecure_mechs=True).close()
        except Exception:
            pass
        return None
    if kind in ("killed-client", "silent-client"):
        # An AMQP client with its links open, then killed, or stopped so
        # that it sends nothing (not even heartbeats) past the idle limit.
        p = subprocess.Popen(["/usr/bin/python3", "-c", PROBE_CLIENT, f"amqp://{address}",
                              station_handle], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        p.stdout.readline()
        p.send_signal(signal.SIGKILL if kind == "killed-client" else signal.SIGSTOP)
        return p
    if kind == "idle-client":
        p = subprocess.Popen(["/usr/bin/python3", "-c", IDLE_CLIENT, f"amqp://{address}",
                              station_handle], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             text=True)
        p.stdout.readline()
        return p
    if kind == "huge-request":
        return subprocess.Popen(["/usr/bin/python3", "-c", HUGE_REQUEST, f"amqp://{address}",
                                 station_handle, str(64 << 20)], stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True)
    raise ValueError(kind)
