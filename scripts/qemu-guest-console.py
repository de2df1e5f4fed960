#!/usr/bin/env python3
"""Runs a QEMU guest whose serial console is on standard output, and serves the guest's
requests to change its own hardware.

The guest's console output is copied line by line to this program's output and to a log
file. A console line that contains

    QMP-REQUEST {"execute": ..., "arguments": {...}}

is sent as it is to QEMU's machine protocol (QMP) socket, and the answer is printed as a
line "host: qmp ... -> ...". The guest has no way to read that answer: it watches the
effect instead (a tray that opens, a drive that goes away), each time with a bound of its
own.

The guest must end within the time limit; otherwise QEMU is stopped and the exit status
is 124, as with timeout(1). Otherwise the exit status is QEMU's.

usage: qemu-guest-console.py --log FILE --qmp SOCKET --time-limit SECONDS -- QEMU-COMMAND...
"""

import argparse
import json
import os
import re
import select
import socket
import subprocess
import sys
import time

REQUEST = re.compile(r"QMP-REQUEST (\{.*\})\s*$")


class Qmp:
    """One connection to QEMU's machine protocol socket."""

    def __init__(self, path, deadline):
        self.sock = None
        while self.sock is None:
            try:
                sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                sock.connect(path)
                self.sock = sock
            except OSError:
                sock.close()
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.1)
        self.pending = b""
        self.receive()  # the greeting
        self.command({"execute": "qmp_capabilities"})

    def receive(self):
        """The next message from QEMU (an answer or an event), as a dict."""
        while b"\n" not in self.pending:
            ready, _, _ = select.select([self.sock], [], [], 30)
            if not ready:
                raise TimeoutError("QMP did not answer within 30 s")
            chunk = self.sock.recv(65536)
            if not chunk:
                raise ConnectionError("QMP connection closed")
            self.pending += chunk
        line, self.pending = self.pending.split(b"\n", 1)
        return json.loads(line)

    def command(self, request):
        """Sends one request; returns its answer. Events that arrive first are printed."""
        self.sock.sendall(json.dumps(request).encode() + b"\n")
        while True:
            message = self.receive()
            if "event" in message:
                say("qmp event " + json.dumps(message))
                continue
            return message


def say(text):
    line = "host: " + text
    print(line, flush=True)
    LOG.write(line + "\n")
    LOG.flush()


def main():
    global LOG
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", required=True)
    parser.add_argument("--qmp", required=True)
    parser.add_argument("--time-limit", type=float, required=True)
    parser.add_argument("qemu", nargs=argparse.REMAINDER)
    options = parser.parse_args()
    command = options.qemu[1:] if options.qemu[:1] == ["--"] else options.qemu
    if not command:
        parser.error("no QEMU command")

    LOG = open(options.log, "w", encoding="utf-8")
    deadline = time.monotonic() + options.time_limit
    try:
        os.unlink(options.qmp)
    except FileNotFoundError:
        pass
    guest = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT)
    qmp = None
    pending = b""
    timed_out = False
    try:
        qmp = Qmp(options.qmp, min(deadline, time.monotonic() + 30))
        out = guest.stdout.fileno()
        while True:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                timed_out = True
                break
            ready, _, _ = select.select([out], [], [], remaining)
            if not ready:
                continue
            chunk = os.read(out, 65536)
            if not chunk:
                break
            pending += chunk
            while b"\n" in pending:
                raw, pending = pending.split(b"\n", 1)
                line = raw.decode("latin-1").replace("\r", "")
                print(line, flush=True)
                LOG.write(line + "\n")
                LOG.flush()
                match = REQUEST.search(line)
                if match:
                    try:
                        request = json.loads(match.group(1))
                        answer = qmp.command(request)
                        say("qmp %s -> %s" % (json.dumps(request), json.dumps(answer)))
                    except (ValueError, OSError, TimeoutError, ConnectionError) as error:
                        say("qmp request %s failed: %s" % (match.group(1), error))
    finally:
        if guest.poll() is None:
            guest.kill()
        status = guest.wait()
        if pending:
            line = pending.decode("latin-1").replace("\r", "")
            print(line, flush=True)
            LOG.write(line + "\n")
        LOG.close()
    if timed_out:
        print("host: the guest ran past its time limit of %g s" % options.time_limit,
              flush=True)
        return 124
    return status


if __name__ == "__main__":
    sys.exit(main())
