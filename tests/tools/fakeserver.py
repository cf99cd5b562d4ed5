#!/usr/bin/env python3
"""Fake business-application server for tests (127.0.0.1 only).

Usage: fakeserver.py --portfile F --record DIR [--case CASE.json]
                     [--cert C --key K] [--lifetime SECONDS]

Each request is saved byte for byte as DIR/NNN.req (NNN from 001). The reply
of a request is chosen by the command, the path component after the CGI
name ("login", "cdbasetcmdimportfileupload", "cdbcmdimportapp",
"cdbcmdimportprocexisted", "cdbimporterrordownload",
"cdbimporterrorlistdownload", "logout"). A case file overrides replies:

  {"running": 2,                         # "1" answers before execflg "0"
   "replies": {"login": {...} or [ {...}, {...} ]}}   # a list is used in turn

A reply: {"status": 200, "json": {...} | "body": "text" | "body_hex": "00ff",
          "content_length": true|false|N, "headers": ["Name: value"],
          "stall": secs (before anything), "stall_body": secs (after the head),
          "close_before_blank": true, "short": N (N body bytes fewer),
          "raw": "bytes sent as they stand", "close_notify": true,
          "tls_stall": secs (TCP accepted, no handshake)}
The server exits after --lifetime seconds or on a request for /__quit__.
"""
import argparse
import json
import os
import ssl
import sys
import threading
import time
import urllib.parse

import serverloop

DEFAULTS = {
    "login": {"json": {"status": "ok", "rssid": "s-1", "STOKEN": "tok9"}},
    "cdbasetcmdimportfileupload": {"json": {"status": "ok"}},
    "cdbcmdimportapp": {"json": {"status": "ok", "app_id": "A1"}},
    "cdbimporterrordownload": {"body": "result text\r\n"},
    "cdbimporterrorlistdownload": {"body": "line,error\r\n"},
    "logout": {"json": {"status": "ok"}},
}

REASONS = {200: "OK", 302: "Found", 400: "Bad Request", 401: "Unauthorized",
           403: "Forbidden", 404: "Not Found", 407: "Proxy Authentication Required",
           408: "Request Timeout", 409: "Conflict", 500: "Internal Server Error",
           503: "Service Unavailable"}


class State:
    def __init__(self, case, record):
        self.case = case
        self.record = record
        self.lock = threading.Lock()
        self.seq = 0
        self.uses = {}
        self.polls = 0
        self.quit = False

    def save(self, data):
        # Numbered and written under the lock: a reader that finds NNN.req
        # finds every lower number too.
        with self.lock:
            self.seq += 1
            path = os.path.join(self.record, "%03d.req" % self.seq)
            with open(path + ".tmp", "wb") as f:
                f.write(data)
            os.rename(path + ".tmp", path)

    def reply_for(self, cmd):
        with self.lock:
            rep = self.case.get("replies", {}).get(cmd)
            if isinstance(rep, list):
                i = self.uses.get(cmd, 0)
                self.uses[cmd] = i + 1
                rep = rep[min(i, len(rep) - 1)]
            if rep is None and cmd == "cdbcmdimportprocexisted":
                self.polls += 1
                running = self.polls <= int(self.case.get("running", 0))
                rep = {"json": {"status": "ok", "execflg": "1" if running else "0",
                                 "import_ok_data": "3", "import_warning_data": "0",
                                 "import_ng_data": "0", "self_message": ""}}
            if rep is None:
                rep = DEFAULTS.get(cmd, {"status": 404, "body": "not found"})
            return rep


def read_request(conn, deadline):
    data = b""
    while b"\r\n\r\n" not in data:
        if time.time() > deadline or len(data) > 1 << 20:
            return data
        chunk = conn.recv(65536)
        if not chunk:
            return data
        data += chunk
    head, _, rest = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            try:
                length = int(value.strip())
            except ValueError:
                length = 0
    while len(rest) < length and time.time() < deadline:
        chunk = conn.recv(65536)
        if not chunk:
            break
        rest += chunk
        data += chunk
    return data


def command_of(data):
    line = data.split(b"\r\n", 1)[0].decode("latin-1")
    parts = line.split(" ")
    target = parts[1] if len(parts) > 1 else ""
    path = urllib.parse.urlsplit(target).path if "//" in target else target
    comps = [c for c in path.split("/") if c]
    return comps[-1] if comps else ""


def send_reply(conn, rep):
    if rep.get("stall"):
        time.sleep(float(rep["stall"]))
    if "raw" in rep:
        conn.sendall(rep["raw"].encode("latin-1"))
        return
    status = int(rep.get("status", 200))
    if "json" in rep:
        body = json.dumps(rep["json"]).encode("utf-8")
        ctype = "application/json"
    elif "body_hex" in rep:
        body = bytes.fromhex(rep["body_hex"])
        ctype = "text/plain"
    else:
        body = rep.get("body", "").encode("utf-8")
        ctype = "text/plain"
    head = "HTTP/1.0 %d %s\r\nContent-Type: %s\r\n" % (status, REASONS.get(status, "Status"), ctype)
    cl = rep.get("content_length", True)
    if cl is True:
        head += "Content-Length: %d\r\n" % len(body)
    elif cl is not False:
        head += "Content-Length: %d\r\n" % int(cl)
    for h in rep.get("headers", []):
        head += h + "\r\n"
    if rep.get("close_before_blank"):
        conn.sendall(head.encode("latin-1"))
        return
    conn.sendall((head + "\r\n").encode("latin-1"))
    if rep.get("stall_body"):
        time.sleep(float(rep["stall_body"]))
    if rep.get("short"):
        body = body[: max(0, len(body) - int(rep["short"]))]
    conn.sendall(body)


def handle(state, raw, tls_ctx):
    conn = raw
    deadline = time.time() + 20
    try:
        raw.settimeout(20)
        if tls_ctx is not None:
            stall = state.case.get("tls_stall")
            if stall:
                time.sleep(float(stall))
                return
            conn = tls_ctx.wrap_socket(raw, server_side=True)
        data = read_request(conn, deadline)
        state.save(data)
        cmd = command_of(data)
        if cmd == "__quit__":
            state.quit = True
            return
        rep = state.reply_for(cmd)
        send_reply(conn, rep)
        if tls_ctx is not None and rep.get("close_notify"):
            try:
                conn = conn.unwrap()
            except (OSError, ssl.SSLError):
                pass
    except (OSError, ssl.SSLError):
        pass
    finally:
        try:
            raw.close()
        except OSError:
            pass


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--portfile", required=True)
    ap.add_argument("--record", required=True)
    ap.add_argument("--case")
    ap.add_argument("--cert")
    ap.add_argument("--key")
    ap.add_argument("--lifetime", type=float, default=60)
    args = ap.parse_args()
    case = {}
    if args.case:
        with open(args.case, "rb") as f:
            case = json.load(f)
    os.makedirs(args.record, exist_ok=True)
    state = State(case, args.record)
    tls_ctx = None
    if args.cert:
        tls_ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls_ctx.load_cert_chain(args.cert, args.key)
    serverloop.serve(args.portfile, args.lifetime, lambda c: handle(state, c, tls_ctx),
                     lambda: state.quit)
    return 0


if __name__ == "__main__":
    sys.exit(main())
