"""Requests serve cannot take get a 4xx answer with a one-line reason, change nothing, and
leave the server serving; apps that die show as crashed; Ctrl-C ends the server and its apps."""

import os
import socket
import time
import unittest

from served import Served, raw


def process_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    # A child that ended but was not yet reaped is a zombie: not alive either.
    with open(f"/proc/{pid}/stat") as stat:
        return stat.read().split()[2] != "Z"


class Refusals(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.served = Served()

    @classmethod
    def tearDownClass(cls):
        cls.served.stop()

    def assertRefused(self, answer, status, reason):
        got, body = answer
        self.assertEqual(got, status, body)
        text = body.decode()
        self.assertIn(reason, text)
        self.assertEqual(text.count("\n"), 1, f"one line: {text!r}")

    def assertNothingChanged(self):
        self.assertEqual(self.served.view()["steps"], 0)
        self.assertEqual(self.served.request("GET", "/api/scenario")[0], 409)
        self.assertEqual(self.served.get_json("/api/hello", page=False)["device"], "iPhone 6")

    def test_malformed_http_is_refused(self):
        for request in (
            b"NOT HTTP AT ALL\r\n\r\n",
            b"POST /api/step HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n"
            b"Transfer-Encoding: chunked\r\n\r\nnot a chunk size\r\n\r\n",
            b"GET /" + b"a" * 20000 + b" HTTP/1.1\r\n\r\n",
            b"GET / HTTP/1.1\r\nX-Big: " + b"b" * 20000 + b"\r\n\r\n",
        ):
            with self.subTest(request=request[:40]):
                request = request.replace(b"%d", str(self.served.port).encode())
                status, _ = raw(self.served.port, request)
                self.assertRegex(status, r"^HTTP/1\.1 4\d\d ")
        self.assertNothingChanged()

    def test_oversized_bodies_are_refused(self):
        port = self.served.port
        page = self.served.page.encode()
        huge = (
            b"POST /api/clip?name=big.MOV HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n"
            b"X-Quorvane-Page: %s\r\nContent-Length: 314572800\r\n\r\n" % (port, page)
        )
        status, body = raw(port, huge)
        self.assertTrue(status.startswith("HTTP/1.1 413"), status)
        self.assertIn(b"200 MiB", body)
        self.assertRefused(
            self.served.upload("settings", "big.plist", b"<" * ((1 << 20) + 1)),
            413,
            "a settings file is at most 1 MiB",
        )
        self.assertRefused(
            self.served.step("wait: " + "1" * (1 << 20)), 413, "a step is one line"
        )
        self.assertNothingChanged()

    def test_requests_that_cannot_be_taken(self):
        served = self.served
        self.assertRefused(served.step("jump: 3"), 400, "serve:1: unknown step 'jump'")
        self.assertRefused(served.step("launch: [unclosed"), 400, "not YAML")
        self.assertRefused(served.step("settings: {file: /etc/passwd}"), 403, "by sending them")
        self.assertRefused(served.step("add_clip: {file: /etc/hostname}"), 403, "by sending them")
        self.assertRefused(served.upload("clip", "../escape.MOV", b"x"), 400, "plain name")
        self.assertRefused(served.upload("settings", ".hidden", b"x"), 400, "plain name")
        self.assertRefused(served.request("POST", "/api/realtime", b"maybe"), 400, "on or off")
        self.assertRefused(
            served.request("GET", "/api/updates?after=soon&trace=0"), 400, "whole numbers"
        )
        self.assertRefused(served.request("GET", "/api/screen.png"), 404, "no app is in front")
        self.assertRefused(served.request("GET", "/etc/passwd"), 404, "no such page")
        self.assertRefused(served.request("GET", "/../../etc/passwd"), 404, "no such page")
        self.assertRefused(
            served.request("GET", "/", headers={"Host": "attacker.example:80"}),
            403,
            "pages of http://127.0.0.1",
        )
        self.assertNothingChanged()
        self.assertFalse(os.path.exists(os.path.join(served.root, "escape.MOV")))

    def test_a_second_page_only_watches(self):
        served = self.served
        served.view()  # the driving page asks for news, as its page does every two seconds
        watcher = served.get_json("/api/hello", page=False)["page"]
        as_watcher = {"X-Quorvane-Page": watcher}
        self.assertRefused(
            served.request("POST", "/api/step", b"launch: Camera", headers=as_watcher),
            409,
            "another page drives the device",
        )
        self.assertRefused(
            served.request("POST", "/api/step", b"launch: Camera", page=False),
            409,
            "another page drives the device",
        )
        status, body = served.request("GET", "/api/updates?after=-1&trace=0", headers=as_watcher)
        self.assertEqual(status, 200, body)
        self.assertIn(b'"driver": false', body)
        self.assertNothingChanged()


class Lifetime(unittest.TestCase):
    def test_a_dead_app_shows_as_crashed_and_the_server_goes_on(self):
        served = Served()
        try:
            self.assertEqual(served.step("launch: Camera")[0], 204)
            self.assertEqual(served.view()["front"], "Camera")
            (camera,) = served.app_pids()
            os.kill(camera, 9)
            self.assertEqual(served.step("wait: 1")[0], 204)
            view = served.view()
            self.assertEqual(view["front"], "Camera")
            self.assertRegex(view["crashed"], r"^crashed: ")
            self.assertEqual(served.request("GET", "/api/screen.png")[0], 404)
            self.assertEqual(served.step("launch: Photos")[0], 204)
            self.assertEqual(served.view()["front"], "MobileSlideShow")
            self.assertEqual(served.request("GET", "/api/screen.png")[0], 200)
        finally:
            self.assertEqual(served.stop(), 1, "a crash fails the session")

    def test_ctrl_c_ends_the_server_and_every_app(self):
        served = Served()
        served.step("launch: Camera")
        served.step("launch: Photos")
        pids = served.app_pids()
        self.assertEqual(len(pids), 2)
        self.assertEqual(served.stop(), 0)
        deadline = time.monotonic() + 10
        while any(process_alive(pid) for pid in pids) and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertFalse([pid for pid in pids if process_alive(pid)])
        self.assertIn("ended: the server stopped", served.trace())
        with self.assertRaises(OSError):
            socket.create_connection(("127.0.0.1", served.port), timeout=2).close()


if __name__ == "__main__":
    unittest.main()
