"""A headless Chromium driven over its DevTools pipe (--remote-debugging-pipe): one page, its console
errors, its requests and its dialogs recorded. Standard library only."""

import json
import os
import queue
import shutil
import subprocess
import tempfile
import threading
import time


def find_browser():
    for name in ("chromium-headless-shell", "chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    raise SystemExit("no headless Chromium on the PATH (on Debian: apt-get install chromium-headless-shell)")


class Page:
    def __init__(self, width=1300, height=1000):
        self.profile = tempfile.mkdtemp(prefix="borne-browser-")
        to_browser_r, self._to_browser = os.pipe()
        self._from_browser, from_browser_w = os.pipe()

        def wire():  # the browser reads commands on fd 3 and writes replies on fd 4
            os.dup2(to_browser_r, 3)
            os.dup2(from_browser_w, 4)
            os.set_inheritable(3, True)
            os.set_inheritable(4, True)

        self.process = subprocess.Popen(
            [find_browser(), "--headless", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe",
             "--no-first-run", "--user-data-dir=" + self.profile, "--window-size=%d,%d" % (width, height),
             "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=wire, close_fds=False)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self._next = 0
        self._replies = {}
        self._events = queue.Queue()
        self._lock = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()
        self.errors, self.requests, self.dialogs = [], [], []
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Runtime", "Network", "Log"):
            self.call(domain + ".enable", session=True)
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False}, session=True)

    def _read(self):
        buffer = b""
        while True:
            chunk = os.read(self._from_browser, 1 << 16)
            if not chunk:
                break
            buffer += chunk
            while b"\0" in buffer:
                message, buffer = buffer.split(b"\0", 1)
                m = json.loads(message)
                if "id" in m:
                    with self._lock:
                        self._replies[m["id"]] = m
                        self._lock.notify_all()
                else:
                    self._event(m)

    def _event(self, m):
        method, params = m.get("method"), m.get("params", {})
        if method == "Runtime.exceptionThrown":
            self.errors.append(params["exceptionDetails"].get("exception", {}).get("description")
                               or params["exceptionDetails"].get("text"))
        elif method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "assert"):
            self.errors.append(" ".join(str(a.get("value", a.get("description"))) for a in params["args"]))
        elif method == "Log.entryAdded" and params["entry"]["level"] == "error":
            self.errors.append(params["entry"]["text"] + " " + params["entry"].get("url", ""))
        elif method == "Network.requestWillBeSent":
            self.requests.append(params["request"]["url"])
        elif method == "Page.javascriptDialogOpening":
            self.dialogs.append(params.get("message"))
            # Closed from another thread: this one must go on reading the reply.
            threading.Thread(target=self.call, args=("Page.handleJavaScriptDialog", {"accept": True}, True),
                             daemon=True).start()
        self._events.put(m)

    def call(self, method, params=None, session=False, timeout=30):
        with self._lock:
            self._next += 1
            ident = self._next
        message = {"id": ident, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = self.session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        with self._lock:
            while ident not in self._replies:
                left = deadline - time.monotonic()
                if left <= 0:
                    raise TimeoutError(method)
                self._lock.wait(left)
            reply = self._replies.pop(ident)
        if "error" in reply:
            raise RuntimeError("%s: %s" % (method, reply["error"]))
        return reply.get("result", {})

    def open(self, url, timeout=30):
        """Loads `url` and waits until the page says it is ready (body[data-ready])."""
        self.call("Page.navigate", {"url": url}, session=True)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.js("document.readyState === 'complete' && document.body !== null && "
                       "document.body.getAttribute('data-ready') === '1'"):
                return
            time.sleep(0.02)
        raise TimeoutError("the page did not get ready: " + url)

    def js(self, expression):
        """The value of `expression` in the page (awaited when it is a promise)."""
        r = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True, "awaitPromise": True},
                      session=True)
        if "exceptionDetails" in r:
            raise RuntimeError("in the page: " + json.dumps(r["exceptionDetails"])[:400])
        return r["result"].get("value")

    def wait(self, expression, timeout=10):
        """Waits until `expression` holds in the page (a pair's page reads its file first)."""
        deadline = time.monotonic() + timeout
        while not self.js(expression):
            if time.monotonic() > deadline:
                raise TimeoutError("the page never got to: " + expression)
            time.sleep(0.02)

    def type(self, text):
        self.call("Input.insertText", {"text": text}, session=True)

    def screenshot(self, path, full=True):
        import base64
        params = {"format": "png", "captureBeyondViewport": full}
        if full:
            size = self.js("[document.documentElement.scrollWidth, document.documentElement.scrollHeight]")
            params["clip"] = {"x": 0, "y": 0, "width": size[0], "height": size[1], "scale": 1}
        with open(path, "wb") as f:
            f.write(base64.b64decode(self.call("Page.captureScreenshot", params, session=True)["data"]))

    def close(self):
        try:
            self.call("Browser.close", timeout=5)
        except Exception:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self._to_browser)
        shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
