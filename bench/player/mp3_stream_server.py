#!/usr/bin/env python3
"""Serves one MP3 file as an endless radio stream on 127.0.0.1 at its bit rate.
Usage: mp3_stream_server.py FILE BYTES_PER_SECOND PORT_FILE. Writes the port it
listens on to PORT_FILE; each client gets a 2 s head start, then real time."""
import socket, sys, threading, time

data = open(sys.argv[1], "rb").read()
rate = int(sys.argv[2])

def serve(conn):
    try:
        conn.recv(65536)
        conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n")
        start, sent, pos = time.monotonic(), 0, 0
        while True:
            due = int(rate * (time.monotonic() - start + 2))
            while sent < due:
                n = min(due - sent, len(data) - pos)
                conn.sendall(data[pos:pos + n])
                sent, pos = sent + n, (pos + n) % len(data)
            time.sleep(0.05)
    except OSError:
        pass
    finally:
        conn.close()

server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", 0))
server.listen(8)
with open(sys.argv[3], "w") as f:
    f.write(str(server.getsockname()[1]))
while True:
    c, _ = server.accept()
    threading.Thread(target=serve, args=(c,), daemon=True).start()
