"""One serve under many clients on the loopback address: short requests by the hundred, idle
keep-alive connections, slow senders and a stream of oversized and malformed requests, while the
driving page takes its steps. Every answer matches its request, the steps still answer, and the
server's descriptors and memory come back once the clients are gone. Prints the figures."""

import http.client
import json
import os
import socket
import statistics
import threading
import time
import unittest

from served import Served, raw

SHORT_REQUESTS = 200  # at once, in each wave
WAVES = 3
IDLE_CONNECTIONS = 50
SLOW_SENDERS = 20
SLOW_HEADERS = 4  # one a second
BAD_REQUESTS = 100
STEPS_TIMED = 40
# After the clients are gone the server may keep this many more descriptors and kilobytes.
DESCRIPTORS_KEPT = 4
MEMORY_KEPT_KB = 32 << 10


def descriptors(pid):
    return len(os.listdir(f"/proc/{pid}/fd"))


def resident_kb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise AssertionError("no VmRSS")


def memory_allowance_kb(pid):
    """What the server may keep after the clients: under AddressSanitizer its quarantine holds
    freed memory back (256 MiB by default), which LeakSanitizer's check at exit sees through."""
    with open(f"/proc/{pid}/maps") as maps:
        sanitized = "libasan" in maps.read()
    return MEMORY_KEPT_KB + (256 << 10 if sanitized else 0)


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


class Answers:
    """Every client's verdict: answered as asked, refused with 503, or wrong (with why)."""

    def __init__(self):
        self.lock = threading.Lock()
        self.right = 0
        self.refused = 0
        self.wrong = []

    def count(self, what, status, body, expected):
        with self.lock:
            if status == 503 and b"busy" in body:
                self.refused += 1
            elif expected(status, body):
                self.right += 1
            else:
                self.wrong.append(f"{what}: {status} {body[:120]!r}")


class UnderLoad(unittest.TestCase):
    def setUp(self):
        self.served = Served()
        self.addCleanup(lambda: self.assertEqual(self.served.stop(), 0, self.served.trace()))
        self.pid = self.served.process.pid
        self.assertEqual(self.served.step("launch: Camera")[0], 204)
        self.watcher = self.served.get_json("/api/hello", page=False)["page"]
        self.answers = Answers()

    def short_request(self, number):
        """A request whose answer names what it asked: a page that does not exist, a watching
        page's step, or the state."""
        kind = number % 3
        connection = http.client.HTTPConnection("127.0.0.1", self.served.port, timeout=30)
        try:
            if kind == 0:
                path = f"/no-such-page-{number}"
                connection.request("GET", path)
                expected = lambda s, b: s == 404 and f"GET {path}\n".encode() in b
            elif kind == 1:
                connection.request(
                    "POST", "/api/step", b"wait: 1", {"X-Quorvane-Page": self.watcher}
                )
                expected = lambda s, b: s == 409 and b"another page drives" in b
            else:
                connection.request(
                    "GET", "/api/updates?after=-1&trace=0", headers={"X-Quorvane-Page": self.watcher}
                )
                expected = lambda s, b: s == 200 and json.loads(b)["driver"] is False
            response = connection.getresponse()
            self.answers.count(f"short {number}", response.status, response.read(), expected)
        except OSError as error:
            self.answers.count(f"short {number}", None, repr(error).encode(), lambda s, b: False)
        finally:
            connection.close()

    def idle_connection(self, number, closed):
        """One request, then nothing: the server ends the connection after its idle time."""
        with socket.create_connection(("127.0.0.1", self.served.port), timeout=30) as sock:
            path = f"/idle-{number}"
            sock.sendall(f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1:{self.served.port}\r\n\r\n".encode())
            reader = sock.makefile("rb")
            status = reader.readline()
            head = b""
            while (line := reader.readline()) not in (b"\r\n", b""):
                head += line
            length = int(head.lower().split(b"content-length:")[1].split()[0])
            body = reader.read(length)
            self.answers.count(
                f"idle {number}", int(status.split()[1]), body, lambda s, b: path.encode() in b
            )
            started = time.monotonic()
            ended = reader.read(1) == b""
            closed.append(time.monotonic() - started if ended else None)

    def slow_sender(self, number):
        with socket.create_connection(("127.0.0.1", self.served.port), timeout=30) as sock:
            path = f"/slow-{number}"
            sock.sendall(f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1:{self.served.port}\r\n".encode())
            for header in range(SLOW_HEADERS):
                time.sleep(1)  # the load itself: a header a second
                sock.sendall(f"X-Slow-{header}: {number}\r\n".encode())
            sock.sendall(b"Connection: close\r\n\r\n")
            answer = b""
            while chunk := sock.recv(65536):
                answer += chunk
            head, _, body = answer.partition(b"\r\n\r\n")
            status = int(head.split()[1]) if head else None
            self.answers.count(f"slow {number}", status, body, lambda s, b: path.encode() in b)

    def bad_requests(self):
        port = self.served.port
        bad = (
            b"POST /api/clip?name=big.MOV HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n"
            b"Content-Length: 314572800\r\n\r\n" % port,
            b"NOT HTTP AT ALL\r\n\r\n",
            b"GET /" + b"a" * 20000 + b" HTTP/1.1\r\n\r\n",
            b"POST /api/step HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n"
            b"Transfer-Encoding: chunked\r\n\r\nnot a chunk size\r\n\r\n" % port,
        )
        for sent in range(BAD_REQUESTS):
            status, body = raw(port, bad[sent % len(bad)])
            code = int(status.split()[1]) if status else None
            self.answers.count(f"bad {sent}", code, body, lambda s, b: 400 <= s < 500)

    def time_steps(self, count):
        times = []
        for _ in range(count):
            start = time.monotonic()
            status, body = self.served.step("wait: 1")
            times.append((time.monotonic() - start) * 1000)
            self.assertEqual(status, 204, body)
        return times

    def test_the_driving_page_is_answered_under_load_and_the_server_recovers(self):
        quiet = self.time_steps(STEPS_TIMED)
        descriptors_before = descriptors(self.pid)
        memory_before = resident_kb(self.pid)

        clients = []
        closed = []
        for number in range(IDLE_CONNECTIONS):
            clients.append(threading.Thread(target=self.idle_connection, args=(number, closed)))
        for number in range(SLOW_SENDERS):
            clients.append(threading.Thread(target=self.slow_sender, args=(number,)))
        clients.append(threading.Thread(target=self.bad_requests))
        for client in clients:
            client.start()

        loaded = []
        for wave in range(WAVES):
            shorts = [
                threading.Thread(target=self.short_request, args=(wave * SHORT_REQUESTS + n,))
                for n in range(SHORT_REQUESTS)
            ]
            for short in shorts:
                short.start()
            loaded += self.time_steps(STEPS_TIMED // WAVES)
            for short in shorts:
                short.join(60)
        loaded += self.time_steps(STEPS_TIMED - len(loaded))
        for client in clients:
            client.join(60)
        self.assertFalse([client for client in clients if client.is_alive()], "a client hung")

        # The server lets go of the clients' connections as they end: wait for what it shows.
        deadline = time.monotonic() + 20
        while descriptors(self.pid) > descriptors_before and time.monotonic() < deadline:
            time.sleep(0.05)
        descriptors_after = descriptors(self.pid)
        memory_after = resident_kb(self.pid)

        answers = self.answers
        print(
            f"\nstep round trip, {len(quiet)} steps: median {statistics.median(quiet):.1f} ms, "
            f"95th percentile {percentile(quiet, 0.95):.1f} ms with no load; "
            f"median {statistics.median(loaded):.1f} ms, 95th percentile "
            f"{percentile(loaded, 0.95):.1f} ms under load\n"
            f"clients: {WAVES} waves of {SHORT_REQUESTS} short requests, {IDLE_CONNECTIONS} idle "
            f"connections, {SLOW_SENDERS} slow senders, {BAD_REQUESTS} oversized or malformed "
            f"requests: {answers.right} answered as asked, {answers.refused} refused with 503, "
            f"{len(answers.wrong)} lost or mixed up\n"
            f"server: {descriptors_before} descriptors before, {descriptors_after} after; "
            f"resident {memory_before // 1024} MiB before, {memory_after // 1024} MiB after; "
            f"idle connections closed by the server after a median "
            f"{statistics.median([c for c in closed if c is not None] or [0]):.1f} s"
        )
        self.assertEqual(answers.wrong, [])
        self.assertEqual(
            answers.right + answers.refused,
            WAVES * SHORT_REQUESTS + IDLE_CONNECTIONS + SLOW_SENDERS + BAD_REQUESTS,
        )
        self.assertNotIn(None, closed, "the server keeps idle connections open")
        self.assertLessEqual(descriptors_after, descriptors_before + DESCRIPTORS_KEPT)
        self.assertLessEqual(memory_after, memory_before + memory_allowance_kb(self.pid))


if __name__ == "__main__":
    unittest.main()
