"""Start-up and accept loop shared by the test servers of this folder."""
import os
import socket
import threading
import time


def serve(portfile, lifetime, on_connection, stopped=lambda: False):
    """Listens on a free port of 127.0.0.1, writes the port number to portfile
    (whole, through a rename) and hands every connection to on_connection(sock)
    in a thread of its own, until lifetime seconds have passed or stopped()
    is true."""
    srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    srv.bind(("127.0.0.1", 0))
    srv.listen(16)
    srv.settimeout(0.2)
    with open(portfile + ".tmp", "w") as f:
        f.write(str(srv.getsockname()[1]))
    os.rename(portfile + ".tmp", portfile)
    end = time.time() + lifetime
    while time.time() < end and not stopped():
        try:
            c, _ = srv.accept()
        except socket.timeout:
            continue
        except OSError:
            break
        threading.Thread(target=on_connection, args=(c,), daemon=True).start()
    srv.close()
