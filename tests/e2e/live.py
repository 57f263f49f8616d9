"""Helpers for tests of ranked games played live against a real velmora-server: an attempt
dealt, a recording of its seed made to GAME OVER (velmora_trace's crashing pilot: a short game),
and that recording streamed as a client streams it, a batch a second, at real time or faster or
slower, with a silence in it, through one server or several in turn."""
import json
import os
import subprocess
import time


def deal(server, board="open", name="Ana", day=None):
    """(status, answer) of POST /api/v1/attempts."""
    ask = {"board": board, "name": name}
    if day:
        ask["day"] = day
    return server.json("POST", "/api/v1/attempts", json.dumps(ask).encode())


def crash_recording(trace, seed, folder):
    """The recording of seed `seed` flown into the rocks, to GAME OVER."""
    path = os.path.join(folder, f"crash-{seed}.replay")
    if not os.path.exists(path):
        subprocess.run([trace, path, "crash", str(seed)], check=True)
    with open(path, "rb") as f:
        return f.read()


def send(server, attempt, token, batch, lines):
    status, headers, body = server.request(
        "POST", f"/api/v1/attempts/{attempt}/records?batch={batch}", body=lines,
        headers={"Authorization": "Bearer " + token, "Content-Type": "text/plain"})
    return status, json.loads(body) if body else None


def stream(servers, attempt, token, recording, speed=1.0, silence=None, every=1.0,
           failover=False):
    """Sends `recording` as a client playing it would, each tick's lines due 50 ms / speed after
    the last, a batch every `every` s; `silence` (from, seconds) sends nothing for a while.
    Batches go to the servers in turn, or with `failover` to the first until it cannot be
    reached, then to the next from the first batch not yet kept for good. The last answer:
    (status, body)."""
    chunks, lines, tick = [], [], 0
    for line in recording.splitlines(keepends=True):
        lines.append(line)
        if line.startswith(b"t "):
            tick += 1
            chunks.append((tick * 0.05 / speed, b"".join(lines)))
            lines = []
    if lines:
        chunks.append((tick * 0.05 / speed, b"".join(lines)))
    began, sent, answer = time.monotonic(), [], (None, None)
    kept = 0  # batches the server said it keeps for good: a new server is sent the rest again
    while chunks:
        time.sleep(every)
        now = time.monotonic() - began
        if silence and silence[0] <= now < silence[0] + silence[1]:
            continue
        due = b""
        while chunks and chunks[0][0] <= now:
            due += chunks.pop(0)[1]
        sent.append(due)
        batch = len(sent) - 1
        while batch < len(sent):
            try:
                at = servers[0] if failover else servers[batch % len(servers)]
                answer = send(at, attempt, token, batch, sent[batch])
            except OSError:
                if not failover or len(servers) < 2:
                    raise
                servers, batch = servers[1:], kept
                continue
            body = answer[1] or {}
            if failover and answer[0] == 409 and body.get("expected", batch) < batch:
                batch = body["expected"]
                continue
            kept = max(kept, body.get("kept", 0))
            batch += 1
        if answer[0] != 200 or answer[1].get("state") != "live":
            return answer
    return answer
