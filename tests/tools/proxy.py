#!/usr/bin/env python3
"""HTTP CONNECT proxy for tests (127.0.0.1 only, loopback targets only).

Usage: proxy.py --portfile F --record FILE [--user U --password P]
                [--status N] [--trickle BYTES,MS] [--target PORT]
                [--lifetime SECONDS]

With --user, a request must carry "Proxy-Authorization: Basic" of U:P, else
407. --status forces that status for every CONNECT. The head of every
request (CONNECT, or an absolute-form request that is forwarded) is
appended to FILE byte for byte. --trickle hands the server's bytes on to
the client BYTES at a time, one piece every MS milliseconds. --target makes
it a plain relay: every connection goes to 127.0.0.1:PORT as it stands.
Exits after --lifetime seconds.
"""
import argparse
import base64
import select
import socket
import sys
import threading
import time
import urllib.parse

import serverloop

LOOPBACK = ("127.0.0.1", "localhost")


def relay(a, b, deadline, trickle=None):
    """Copies between client a and server b; trickle (bytes, ms) slows b's."""
    socks = [a, b]
    while time.time() < deadline:
        r, _, _ = select.select(socks, [], [], 0.2)
        for s in r:
            try:
                data = s.recv(65536)
            except OSError:
                return
            if not data:
                return
            if s is a:
                b.sendall(data)
            elif trickle is None:
                a.sendall(data)
            else:
                for i in range(0, len(data), trickle[0]):
                    if time.time() >= deadline:
                        return
                    a.sendall(data[i:i + trickle[0]])
                    time.sleep(trickle[1] / 1000.0)


def handle(conn, args, lock):
    deadline = time.time() + min(30.0, args.lifetime)
    upstream = None
    try:
        conn.settimeout(10)
        if args.target:
            upstream = socket.create_connection(("127.0.0.1", args.target), timeout=10)
            relay(conn, upstream, deadline, args.trickle)
            return
        data = b""
        while b"\r\n\r\n" not in data and len(data) < 65536:
            chunk = conn.recv(1)
            if not chunk:
                return
            data += chunk
        with lock:
            with open(args.record, "ab") as f:
                f.write(data)
        lines = data.split(b"\r\n")
        method, target = (lines[0].split(b" ") + [b"", b""])[:2]
        auth = None
        for line in lines[1:]:
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"proxy-authorization":
                auth = value.strip()
        if args.status:
            conn.sendall(b"HTTP/1.1 %s Forced\r\n\r\n" % args.status.encode("latin-1"))
            return
        if args.user is not None:
            want = b"Basic " + base64.b64encode(("%s:%s" % (args.user, args.password)).encode())
            if auth != want:
                conn.sendall(b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                             b"Proxy-Authenticate: Basic realm=\"test\"\r\n\r\n")
                return
        if method == b"CONNECT":
            host, _, port = target.decode("latin-1").rpartition(":")
            if host not in LOOPBACK:
                conn.sendall(b"HTTP/1.1 403 Forbidden\r\n\r\n")
                return
            upstream = socket.create_connection(("127.0.0.1", int(port)), timeout=10)
            conn.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
            relay(conn, upstream, deadline, args.trickle)
        else:
            u = urllib.parse.urlsplit(target.decode("latin-1"))
            if u.hostname not in LOOPBACK:
                conn.sendall(b"HTTP/1.0 403 Forbidden\r\n\r\n")
                return
            upstream = socket.create_connection(("127.0.0.1", u.port or 80), timeout=10)
            upstream.sendall(data)
            relay(conn, upstream, deadline)
    except (OSError, ValueError):
        pass
    finally:
        for s in (conn, upstream):
            if s is not None:
                try:
                    s.close()
                except OSError:
                    pass


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--portfile", required=True)
    ap.add_argument("--record", required=True)
    ap.add_argument("--user")
    ap.add_argument("--password", default="")
    ap.add_argument("--status", default="")
    ap.add_argument("--trickle", type=lambda v: tuple(int(x) for x in v.split(",")))
    ap.add_argument("--target", type=int, default=0)
    ap.add_argument("--lifetime", type=float, default=60)
    args = ap.parse_args()
    lock = threading.Lock()
    open(args.record, "ab").close()
    serverloop.serve(args.portfile, args.lifetime, lambda c: handle(c, args, lock))
    return 0


if __name__ == "__main__":
    sys.exit(main())
