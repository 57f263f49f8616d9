"""Helpers for tests of velmora-server: the real server as a child process on a free port, and a
plain HTTP client (the standard library's) that returns status, headers and body."""
import http.client
import json
import os
import signal
import subprocess
import threading
import urllib.parse


class Server:
    """velmora-server with `args`, listening on a free port of 127.0.0.1."""

    def __init__(self, binary, *args):
        self.proc = subprocess.Popen([binary, "--listen", "127.0.0.1:0", *args],
                                     stderr=subprocess.PIPE, text=True)
        self.log = []
        first = self.proc.stderr.readline()
        self.log.append(first)
        if "serving http://" not in first:
            self.proc.kill()
            raise RuntimeError(f"velmora-server did not start: {first!r}")
        self.port = int(first.split("serving http://127.0.0.1:")[1].split("/")[0])
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.proc.stderr:
            self.log.append(line)

    def request(self, method, path, body=None, headers=None, chunked=False):
        """(status, headers as a dict with lower-case names, body bytes)."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=120)
        try:
            connection.request(method, path, body=body, headers=headers or {},
                               encode_chunked=chunked)
            response = connection.getresponse()
            return (response.status, {k.lower(): v for k, v in response.getheaders()},
                    response.read())
        finally:
            connection.close()

    def json(self, method, path, body=None, content_type="application/json"):
        """(status, the answer's JSON); a body goes as `content_type`."""
        headers = {"Content-Type": content_type} if body is not None else None
        status, headers, data = self.request(method, path, body=body, headers=headers)
        return status, json.loads(data) if data else None

    def submit(self, name, recording):
        query = urllib.parse.urlencode({"name": name})
        return self.json("POST", "/api/v1/games?" + query, recording, "text/plain")

    def stop(self, sig=signal.SIGTERM, timeout=40):
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        code = self.proc.wait(timeout=timeout)
        self.reader.join(timeout=5)
        return code

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def recording(trace, seed, ticks, folder):
    """A recording of scripted play from `seed`, `ticks` long, made by velmora_trace."""
    path = os.path.join(folder, f"play-{seed}-{ticks}.replay")
    if not os.path.exists(path):
        subprocess.run([trace, path, "record", str(seed), "ticks", str(ticks)], check=True)
    with open(path, "rb") as f:
        return f.read()


