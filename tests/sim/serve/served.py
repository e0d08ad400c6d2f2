"""quorvane-sim serve started for a test: its address, a driving page's requests, its end."""

import http.client
import json
import os
import re
import signal
import socket
import subprocess
import tempfile
import threading
import urllib.parse

SIM = os.environ.get("QUORVANE_SIM", "quorvane-sim")


def raw(port, data):
    """Sends bytes as they are and answers the status line and the body: the whole body its
    Content-Length announces, however the server's writes are split, else all until the end."""
    with socket.create_connection(("127.0.0.1", port), timeout=30) as connection:
        connection.sendall(data)
        reader = connection.makefile("rb")
        head = []
        while (line := reader.readline()) not in (b"\r\n", b"\n", b""):
            head.append(line)
        length = re.search(rb"^content-length:\s*(\d+)", b"".join(head), re.I | re.M)
        body = reader.read(int(length.group(1))) if length else reader.read()
    return (head[0].decode().rstrip("\r\n") if head else ""), body


class Served:
    def __init__(self, *options, drive=True):
        """`drive`: the test's requests drive the device from the start; else the first page to
        say hello (a browser's) does."""
        self.root = tempfile.mkdtemp(prefix="quorvane-serve-")
        self.process = subprocess.Popen(
            [SIM, "serve", "--port", "0", "--root", self.root, *options],
            stdout=subprocess.PIPE,
            text=True,
        )
        self.lines = []
        try:
            self._wait_for_address()
        except BaseException:
            self.process.kill()
            self.process.wait()
            raise
        # The trace goes on on standard output; a reader keeps the pipe from filling.
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        self._page = None
        if drive:
            self.say_hello()

    def say_hello(self):
        """Opens the page these requests come from: the first page to say hello drives."""
        self._page = self.get_json("/api/hello", page=False)["page"]

    @property
    def page(self):
        if self._page is None:
            self.say_hello()
        return self._page

    def _wait_for_address(self):
        for line in self.process.stdout:
            self.lines.append(line)
            found = re.search(r"serving on http://127\.0\.0\.1:(\d+)/", line)
            if found:
                self.port = int(found.group(1))
                break
        else:
            raise RuntimeError("serve ended before serving: " + "".join(self.lines))
        self.url = f"http://127.0.0.1:{self.port}/"

    def _read(self):
        for line in self.process.stdout:
            self.lines.append(line)

    def request(self, method, path, body=None, headers=None, page=True):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        sent = dict(headers or {})
        if page:
            sent.setdefault("X-Quorvane-Page", self.page)
        connection.request(method, path, body=body, headers=sent)
        response = connection.getresponse()
        answer = (response.status, response.read())
        connection.close()
        return answer

    def get_json(self, path, page=True):
        status, body = self.request("GET", path, page=page)
        if status != 200:
            raise AssertionError(f"GET {path}: {status} {body!r}")
        return json.loads(body)

    def step(self, line):
        return self.request("POST", "/api/step", line.encode())

    def view(self):
        return self.get_json("/api/updates?after=-1&trace=0")

    def upload(self, kind, name, data):
        return self.request("POST", f"/api/{kind}?name={urllib.parse.quote(name)}", data)

    def stop(self):
        """Ctrl-C, as a person ends it; answers the exit status."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
        status = self.process.wait(timeout=60)
        self.reader.join(timeout=10)
        self.process.stdout.close()
        return status

    def trace(self):
        return "".join(self.lines)

    def app_pids(self):
        return [int(pid) for pid in re.findall(r"launching \(pid (\d+)\)", self.trace())]
