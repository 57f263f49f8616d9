"""A watcher of a live game, as a browser's EventSource is one: GET /api/v1/attempts/ID/watch
on a connection of its own, its server-sent events read as they come (or, for a watcher that
cannot keep up, not read at all)."""
import json
import socket
import threading
import time


class Watch:
    """Watches attempt `attempt` on `server` from batch `start` (None: from the start). With
    `reading` False the connection is opened with a small receive buffer and never read until
    `drain`."""

    def __init__(self, server, attempt, start=None, reading=True, source="127.0.0.1"):
        self.sock = socket.socket()
        if not reading:
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1024)
        self.sock.bind((source, 0))
        self.sock.connect(("127.0.0.1", server.port))
        query = "" if start is None else f"?from={start}"
        self.sock.sendall(f"GET /api/v1/attempts/{attempt}/watch{query} HTTP/1.1\r\n"
                          "Host: velmora\r\nAccept: text/event-stream\r\n\r\n".encode())
        self.data = b""
        self.closed = False
        self.reader = None
        if reading:
            self.reader = threading.Thread(target=self.drain, daemon=True)
            self.reader.start()

    def drain(self, seconds=None):
        """Reads until the server closes the connection (or for `seconds`)."""
        if seconds is not None:
            self.sock.settimeout(seconds)
        try:
            while True:
                got = self.sock.recv(65536)
                if not got:
                    break
                self.data += got
        except OSError:
            return
        self.closed = True

    def status(self):
        head = self.data.split(b"\r\n", 1)[0].split()
        return int(head[1]) if len(head) > 1 else None

    def body(self):
        """The response's body so far, its chunks joined."""
        if b"\r\n\r\n" not in self.data:
            return b""
        rest, body = self.data.split(b"\r\n\r\n", 1)[1], b""
        if b"chunked" not in self.data.split(b"\r\n\r\n", 1)[0].lower():
            return rest
        while b"\r\n" in rest:
            size, rest = rest.split(b"\r\n", 1)
            n = int(size, 16)
            if n == 0 or len(rest) < n + 2:
                break
            body, rest = body + rest[:n], rest[n + 2:]
        return body

    def events(self):
        """Each whole event: (name, id, its data lines)."""
        found = []
        for block in self.body().decode().split("\n\n")[:-1]:
            name, ident, lines = "message", None, []
            for line in block.split("\n"):
                field, _, value = line.partition(":")
                value = value[1:] if value.startswith(" ") else value
                if field == "event":
                    name = value
                elif field == "id":
                    ident = value
                elif field == "data":
                    lines.append(value)
            if lines:
                found.append((name, ident, lines))
        return found

    def recording(self):
        """The recording the batches brought, as the game wrote it."""
        lines = [l for name, _, data in self.events() if name == "batch" for l in data]
        return "".join(line + "\n" for line in lines).encode()

    def end(self):
        """The end event's outcome, or None."""
        ends = [data for name, _, data in self.events() if name == "end"]
        return json.loads("\n".join(ends[0])) if ends else None

    def wait_end(self, seconds):
        deadline = time.monotonic() + seconds
        while self.end() is None and not self.closed and time.monotonic() < deadline:
            time.sleep(0.1)
        return self.end()

    def close(self):
        self.sock.close()
