#!/usr/bin/env python3
"""pas2asm-play against what a static server of the playground must do: serve the site's files
on 127.0.0.1 (GET and HEAD only), nothing outside its folder whatever the path says, and keep
serving while a connection idles.

    check_server.py PAS2ASM_PLAY
"""

import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

PLAY = os.path.abspath(sys.argv[1])
passed = failed = 0


def check(name, ok, detail=""):
    global passed, failed
    passed += bool(ok)
    failed += not ok
    print(("ok " if ok else "FAIL ") + name + ("" if ok or not detail else f": {detail}"))


def request(port, raw, timeout=5):
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(raw)
        data = b""
        while chunk := s.recv(65536):
            data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = dict(line.split(": ", 1) for line in lines[1:] if ": " in line)
    return lines[0], headers, body


def get(port, target, method="GET"):
    return request(port, f"{method} {target} HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n".encode())


def listening_address(port):
    """The local address of the socket listening on `port`, from the kernel's table."""
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(table) as f:
            for line in f.readlines()[1:]:
                local, state = line.split()[1], line.split()[3]
                address, at = local.split(":")
                if int(at, 16) == port and state == "0A":
                    return address
    return None


top = tempfile.mkdtemp(prefix="pas2asm-play-test-")
site = os.path.join(top, "site")
os.makedirs(os.path.join(site, "sub"))
with open(os.path.join(site, "index.html"), "w") as f:
    f.write("<!doctype html><title>p</title>")
with open(os.path.join(site, "m.wasm"), "wb") as f:
    f.write(b"\0asm\1\0\0\0")
with open(os.path.join(site, "sub", "index.html"), "w") as f:
    f.write("sub")
with open(os.path.join(site, ".hidden"), "w") as f:
    f.write("hidden")
with open(os.path.join(top, "secret"), "w") as f:
    f.write("secret")
os.symlink(os.path.join(top, "secret"), os.path.join(site, "link-out"))
os.symlink("index.html", os.path.join(site, "link-in.html"))

server = subprocess.Popen([PLAY, "--port", "0", "--site", site], stdout=subprocess.PIPE, text=True)
try:
    line = server.stdout.readline()
    port = int(line.rsplit(":", 1)[1].strip("/\n"))
    check("it prints the address on 127.0.0.1", line.startswith("pas2asm playground: http://127.0.0.1:"), line)
    check("it listens on 127.0.0.1 alone", listening_address(port) == "0100007F", listening_address(port))

    status, headers, body = get(port, "/")
    check("GET / gives index.html", status == "HTTP/1.1 200 OK" and body == b"<!doctype html><title>p</title>" and
          headers.get("Content-Type") == "text/html; charset=utf-8", f"{status} {headers} {body!r}")
    status, headers, body = get(port, "/", "HEAD")
    check("HEAD gives the headers alone", status == "HTTP/1.1 200 OK" and body == b"" and
          headers.get("Content-Length") == "31", f"{status} {headers} {body!r}")
    status, headers, body = get(port, "/m.wasm?x=1")
    check("a module is application/wasm", status.endswith("200 OK") and headers.get("Content-Type") ==
          "application/wasm" and body == b"\0asm\1\0\0\0", f"{status} {headers}")
    status, _, body = get(port, "/sub/")
    check("a folder's index.html", status.endswith("200 OK") and body == b"sub", status)
    status, _, body = get(port, "/link-in.html")
    check("a link inside the site is followed", status.endswith("200 OK"), status)

    for method in ("POST", "PUT", "DELETE", "OPTIONS", "PATCH"):
        status, headers, _ = get(port, "/", method)
        check(f"{method} is refused", status == "HTTP/1.1 405 Method Not Allowed" and
              headers.get("Allow") == "GET, HEAD", status)

    for target in ("/../secret", "/%2e%2e/secret", "/sub/../../secret", "/sub/%2E%2E/%2E%2E/secret",
                   "/link-out", "/.hidden", "/missing.js", "/index.html%00.js", "/sub\\..\\..\\secret",
                   "//etc/passwd", "/%2fetc%2fpasswd", "/%", "/%zz", "*", "http://example.invalid/"):
        status, _, body = get(port, target)
        check(f"{target} is not served", status.split(" ", 1)[1][:3] in ("404", "400") and b"secret" not in body, status)

    status, _, _ = request(port, b"NONSENSE\r\n\r\n")
    check("a request line that is not one is refused", status == "HTTP/1.1 400 Bad Request", status)
    try:
        status, _, _ = request(port, b"GET /" + b"a" * 20000 + b" HTTP/1.1\r\n\r\n")
    except (ConnectionResetError, BrokenPipeError):
        status = ""
    check("an overlong head is closed unanswered", status == "", status)

    idle = socket.create_connection(("127.0.0.1", port))
    idle.sendall(b"GET / HT")
    started = time.monotonic()
    status, _, _ = get(port, "/")
    check("an idle connection holds up no other", status.endswith("200 OK") and time.monotonic() - started < 1)
    idle.close()
    check("it still runs", server.poll() is None)
finally:
    server.kill()
    server.wait()
    shutil.rmtree(top, ignore_errors=True)

for args, code in ((["--help"], 0), (["--bogus"], 64), (["--port", "70000"], 64), (["--site", "/nonexistent"], 66)):
    result = subprocess.run([PLAY] + args, capture_output=True, text=True, timeout=10)
    check(f"pas2asm-play {' '.join(args)} exits with {code}", result.returncode == code, result.stderr)

print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
