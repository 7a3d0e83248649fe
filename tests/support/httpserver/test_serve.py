"""Checks of serve.py itself, over real sockets: the parts other tests rely on
without the HTTP engine's tests touching them (static folder, rules, ranges,
the command form). Run: python3 -m unittest test_serve (in this folder)."""

import http.client
import json
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse
from pathlib import Path

HERE = Path(__file__).resolve().parent
SERVE = HERE / "serve.py"
sys.path.insert(0, str(HERE.parent / "certtool"))
import testca  # noqa: E402


class ServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        root = Path(cls.folder.name) / "www"
        (root / "addin" / "1.0").mkdir(parents=True)
        (root / "addin" / "version_info.xml").write_bytes(b"<application/>")
        (root / "addin" / "1.0" / "setup.msi").write_bytes(bytes(range(256)) * 40)
        cls.port_file = Path(cls.folder.name) / "port"
        cls.server = subprocess.Popen(
            [sys.executable, str(SERVE), "--root", str(root), "--port-file", str(cls.port_file),
             "--rule", "/addin/broken.msi=status/500", "--rule", "/addin/short.bin=bytes/1000?cut=10"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        first = cls.server.stdout.readline().split()
        cls.port = int(first[1])
        cls.refused = int(cls.server.stdout.readline().split()[1])

    @classmethod
    def tearDownClass(cls):
        cls.server.terminate()
        cls.server.wait(10)
        cls.server.stdout.close()
        cls.folder.cleanup()

    def get(self, path, headers=None, method="GET"):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        connection.request(method, path, headers=headers or {})
        response = connection.getresponse()
        try:
            body = response.read()
        except http.client.IncompleteRead as partial:
            body = partial.partial
        connection.close()
        return response, body

    def test_port_file_names_the_listening_port(self):
        self.assertEqual(int(self.port_file.read_text()), self.port)

    def test_static_files_are_served_whole_or_from_a_range(self):
        response, body = self.get("/addin/1.0/setup.msi")
        self.assertEqual(response.status, 200)
        self.assertEqual(body, bytes(range(256)) * 40)
        self.assertIsNotNone(response.getheader("Last-Modified"))
        response, body = self.get("/addin/1.0/setup.msi", {"Range": "bytes=5000-"})
        self.assertEqual(response.status, 206)
        self.assertEqual(body, (bytes(range(256)) * 40)[5000:])

    def test_file_faults_reset_the_first_transfers_then_serve_ranges_and_count_what_was_sent(self):
        path = "/_/file/addin/1.0/setup.msi?resets=1&at=25&fail=1"
        whole = bytes(range(256)) * 40
        self.assertEqual(self.get(path)[0].status, 503)
        try:
            response, body = self.get(path)
            self.assertLess(len(body), len(whole))
        except ConnectionResetError:
            pass
        response, body = self.get(path, {"Range": "bytes=2560-"})
        self.assertEqual(response.status, 206)
        self.assertEqual(body, whole[2560:])
        response, body = self.get("/_/file/addin/1.0/setup.msi?range=ignore", {"Range": "bytes=2560-"})
        self.assertEqual((response.status, body), (200, whole))
        sent = json.loads(self.get("/_/sent?path=" + urllib.parse.quote(path, safe=""))[1])
        self.assertEqual(sent, len(whole) // 4 + len(whole) - 2560)

    def test_missing_files_and_escapes_from_the_root_give_404(self):
        self.assertEqual(self.get("/addin/none.xml")[0].status, 404)
        self.assertEqual(self.get("/addin/../../etc/passwd")[0].status, 404)
        self.assertEqual(self.get("/addin/1.0")[0].status, 404)

    def test_rules_answer_a_path_with_a_fault(self):
        self.assertEqual(self.get("/addin/broken.msi")[0].status, 500)
        response, body = self.get("/addin/short.bin")
        self.assertEqual(response.getheader("Content-Length"), "1000")
        self.assertEqual(len(body), 10)
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        connection.request("POST", "/_/rule?" + urllib.parse.urlencode({"path": "/addin/version_info.xml",
                                                                          "spec": "status/404"}))
        self.assertEqual(connection.getresponse().status, 200)
        connection.close()
        self.assertEqual(self.get("/addin/version_info.xml")[0].status, 404)
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        connection.request("POST", "/_/rule?path=/addin/version_info.xml&spec=")
        connection.getresponse().read()
        connection.close()
        self.assertEqual(self.get("/addin/version_info.xml")[1], b"<application/>")

    def test_redirects_loop_on_the_path_asked_for_or_chain_to_their_end(self):
        response, _ = self.get("/_/redirect?status=301")
        self.assertEqual((response.status, response.getheader("Location")), (301, "/_/redirect?status=301"))
        path = "/_/redirect?" + urllib.parse.urlencode({"hops": 2, "to": "/_/bytes/3"})
        seen = []
        while path.startswith("/_/redirect"):
            response, _ = self.get(path)
            self.assertEqual(response.status, 302)
            path = response.getheader("Location")
            seen.append(path)
        self.assertEqual(len(seen), 3)
        self.assertEqual(self.get(path)[1], bytes(range(3)))
        response, _ = self.get("/_/redirect?absolute=1")
        self.assertEqual(response.getheader("Location"), "http://127.0.0.1:%d/_/redirect?absolute=1" % self.port)

    def test_a_delayed_status_comes_after_its_delay(self):
        start = time.monotonic()
        self.assertEqual(self.get("/_/status/404?delay=300")[0].status, 404)
        self.assertGreaterEqual(time.monotonic() - start, 0.3)

    def test_generated_bodies_follow_the_pattern_and_honour_ranges(self):
        response, body = self.get("/_/bytes/1000")
        self.assertEqual(body, bytes(i % 251 for i in range(1000)))
        response, body = self.get("/_/bytes/1000", {"Range": "bytes=600-"})
        self.assertEqual(response.status, 206)
        self.assertEqual(response.getheader("Content-Range"), "bytes 600-999/1000")
        self.assertEqual(body, bytes(i % 251 for i in range(600, 1000)))
        response, body = self.get("/_/bytes/100000?chunked=1&chunk=777")
        self.assertEqual(body, bytes(i % 251 for i in range(100000)))

    def test_log_lists_requests_with_their_headers(self):
        self.get("/_/bytes/3?tag=log", {"Range": "bytes=1-"})
        response, body = self.get("/_/log?path=" + urllib.parse.quote("/_/bytes/3?tag=log"))
        entries = json.loads(body)
        self.assertEqual(len(entries), 1)
        self.assertIn(["Range", "bytes=1-"], entries[0]["headers"])
        response, body = self.get("/_/log?format=raw&path=" + urllib.parse.quote("/_/bytes/3?tag=log"))
        self.assertTrue(body.startswith(b"GET /_/bytes/3?tag=log HTTP/1.1\r\n"))

    def test_refused_port_refuses(self):
        with self.assertRaises(ConnectionRefusedError):
            http.client.HTTPConnection("127.0.0.1", self.refused, timeout=5).connect()


class CommandFormTest(unittest.TestCase):
    def test_command_runs_with_the_server_in_its_environment_and_its_exit_code_is_kept(self):
        script = ("import os, urllib.request, sys;"
                  "body = urllib.request.urlopen(os.environ['HTTP_TEST_URL'] + '/_/bytes/5').read();"
                  "sys.exit(40 + len(body))")
        started = time.monotonic()
        result = subprocess.run([sys.executable, str(SERVE), "--", sys.executable, "-c", script], timeout=30)
        self.assertEqual(result.returncode, 45)
        self.assertLess(time.monotonic() - started, 20)


class TlsServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.certificates = testca.make(Path(cls.folder.name) / "ca")
        cls.server = subprocess.Popen(
            [sys.executable, str(SERVE), "--tls-cert", str(cls.certificates.server_cert),
             "--tls-key", str(cls.certificates.server_key)],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        cls.port = int(cls.server.stdout.readline().split()[1])

    @classmethod
    def tearDownClass(cls):
        cls.server.terminate()
        cls.server.wait(10)
        cls.server.stdout.close()
        cls.folder.cleanup()

    def get(self, context, host="127.0.0.1"):
        connection = http.client.HTTPSConnection(host, self.port, timeout=10, context=context)
        connection.request("GET", "/_/bytes/100000")
        response = connection.getresponse()
        body = response.read()
        connection.close()
        return response.status, body

    def test_a_client_trusting_the_authority_gets_the_body_for_both_names(self):
        context = ssl.create_default_context(cafile=str(self.certificates.ca))
        for host in ("127.0.0.1", "localhost"):
            self.assertEqual(self.get(context, host), (200, bytes(i % 251 for i in range(100000))))

    def test_a_refused_handshake_or_a_silent_client_does_not_hold_up_the_next_client(self):
        with self.assertRaises(ssl.SSLCertVerificationError):
            self.get(ssl.create_default_context())
        with socket.create_connection(("127.0.0.1", self.port), timeout=10):  # never says hello
            context = ssl.create_default_context(cafile=str(self.certificates.ca))
            self.assertEqual(self.get(context)[0], 200)

    def test_the_command_form_names_an_https_url(self):
        script = "import os, sys; sys.exit(0 if os.environ['HTTP_TEST_URL'].startswith('https://') else 1)"
        result = subprocess.run([sys.executable, str(SERVE), "--tls-cert", str(self.certificates.server_cert),
                                 "--tls-key", str(self.certificates.server_key), "--", sys.executable, "-c", script],
                                timeout=30)
        self.assertEqual(result.returncode, 0)


if __name__ == "__main__":
    unittest.main()
