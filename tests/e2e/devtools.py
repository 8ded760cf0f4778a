"""A small client of Chromium's DevTools protocol, on the standard library
alone: it starts a headless Chromium, opens a page and evaluates JavaScript in
it or takes a screenshot, over the protocol's WebSocket.

    with Browser() as browser:
        page = browser.open("http://127.0.0.1:8080/")
        page.evaluate("document.title")
"""
import base64
import json
import os
import re
import select
import shutil
import socket
import struct
import subprocess
import tempfile
import time
import urllib.parse


def find_chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


class WebSocket:
    """A client WebSocket for text messages (RFC 6455), enough for DevTools."""

    def __init__(self, url, timeout=30):
        parts = urllib.parse.urlparse(url)
        self.sock = socket.create_connection((parts.hostname, parts.port), timeout=timeout)
        key = base64.b64encode(os.urandom(16)).decode()
        request = (f"GET {parts.path} HTTP/1.1\r\nHost: {parts.hostname}:{parts.port}\r\n"
                   "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                   f"Sec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n\r\n")
        self.sock.sendall(request.encode())
        answer = b""
        while b"\r\n\r\n" not in answer:
            chunk = self.sock.recv(4096)
            if not chunk:
                raise ConnectionError("DevTools closed the connection during the handshake")
            answer += chunk
        head, self.buffer = answer.split(b"\r\n\r\n", 1)
        if b" 101 " not in head.split(b"\r\n")[0]:
            raise ConnectionError("DevTools refused the WebSocket: " + head.decode(errors="replace"))

    def _read(self, n):
        while len(self.buffer) < n:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise ConnectionError("DevTools closed the connection")
            self.buffer += chunk
        data, self.buffer = self.buffer[:n], self.buffer[n:]
        return data

    def _send_frame(self, opcode, payload):
        header = bytes([0x80 | opcode])
        n = len(payload)
        if n < 126:
            header += bytes([0x80 | n])
        elif n < 65536:
            header += bytes([0x80 | 126]) + struct.pack(">H", n)
        else:
            header += bytes([0x80 | 127]) + struct.pack(">Q", n)
        mask = os.urandom(4)
        masked = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
        self.sock.sendall(header + mask + masked)

    def send(self, text):
        self._send_frame(0x1, text.encode())

    def pending(self):
        return bool(self.buffer) or bool(select.select([self.sock], [], [], 0)[0])

    def recv(self):
        message = b""
        while True:
            first, second = self._read(2)
            opcode = first & 0x0F
            n = second & 0x7F
            if n == 126:
                n = struct.unpack(">H", self._read(2))[0]
            elif n == 127:
                n = struct.unpack(">Q", self._read(8))[0]
            if second & 0x80:
                mask = self._read(4)
                payload = bytes(b ^ mask[i % 4] for i, b in enumerate(self._read(n)))
            else:
                payload = self._read(n)
            if opcode == 0x9:  # ping
                self._send_frame(0xA, payload)
                continue
            if opcode == 0x8:
                raise ConnectionError("DevTools closed the WebSocket")
            message += payload
            if first & 0x80:
                return message.decode()

    def close(self):
        self.sock.close()


class Page:
    def __init__(self, browser, session):
        self.browser = browser
        self.session = session

    def call(self, method, **params):
        return self.browser.call(method, session=self.session, **params)

    def evaluate(self, expression):
        """The value of a JavaScript expression (awaited when it is a promise)."""
        answer = self.call("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=True)
        if "exceptionDetails" in answer:
            raise RuntimeError("JavaScript failed: " + json.dumps(answer["exceptionDetails"]))
        return answer["result"].get("value")

    def wait_for(self, expression, timeout=20, what=None):
        """Evaluates until the expression is truthy; its value, or None at the timeout."""
        deadline = time.monotonic() + timeout
        while True:
            value = self.evaluate(expression)
            if value:
                return value
            if time.monotonic() > deadline:
                return None
            time.sleep(0.1)

    def screenshot(self, path, full_page=False):
        """The viewport as a PNG file; full_page: the whole page, however long."""
        params = {"format": "png"}
        if full_page:
            size = self.call("Page.getLayoutMetrics")["cssContentSize"]
            params.update(captureBeyondViewport=True,
                          clip={"x": 0, "y": 0, "width": size["width"], "height": size["height"],
                                "scale": 1})
        data = self.call("Page.captureScreenshot", **params)["data"]
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))


class Browser:
    def __init__(self, width=1600, height=1000):
        self.chromium = find_chromium()
        if not self.chromium:
            raise FileNotFoundError("chromium is not installed")
        self.profile = tempfile.mkdtemp(prefix="ffsload-chromium-")
        self.log = open(os.path.join(self.profile, "chromium.log"), "w+")
        args = [self.chromium, "--headless=new", "--disable-gpu", "--no-first-run",
                "--no-default-browser-check", "--disable-extensions", "--disable-sync",
                "--disable-background-networking", "--disable-component-update",
                "--hide-scrollbars", "--remote-debugging-port=0",
                f"--user-data-dir={self.profile}", f"--window-size={width},{height}",
                "about:blank"]
        if os.geteuid() == 0:
            args.insert(1, "--no-sandbox")  # Chromium refuses to start as root otherwise
        self.process = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=self.log)
        self.next_id = 0
        self.socket = WebSocket(self._browser_url())

    def _browser_url(self):
        deadline = time.monotonic() + 60
        pattern = re.compile(r"DevTools listening on (ws://\S+)")
        while time.monotonic() < deadline:
            self.log.seek(0)
            found = pattern.search(self.log.read())
            if found:
                return found.group(1)
            if self.process.poll() is not None:
                break
            time.sleep(0.1)
        self.log.seek(0)
        raise RuntimeError("Chromium did not start:\n" + self.log.read()[-2000:])

    def call(self, method, session=None, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        self.socket.send(json.dumps(message))
        while True:
            answer = json.loads(self.socket.recv())
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise RuntimeError(f"{method}: {answer['error']}")
                return answer.get("result", {})

    def open(self, url, width=1600, height=1000, accept_language=None):
        """A new page at url; accept_language: the Accept-Language its
        requests send (and navigator.languages), as a browser set to it would."""
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        page = Page(self, session)
        page.call("Emulation.setDeviceMetricsOverride", width=width, height=height,
                  deviceScaleFactor=1, mobile=False)
        if accept_language:
            agent = self.call("Browser.getVersion")["userAgent"]
            page.call("Emulation.setUserAgentOverride", userAgent=agent,
                      acceptLanguage=accept_language)
        page.call("Page.enable")
        page.call("Page.navigate", url=url)
        page.wait_for("document.readyState === 'complete'", timeout=30)
        return page

    def close(self):
        try:
            self.socket.close()
        finally:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
            self.log.close()
            shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
