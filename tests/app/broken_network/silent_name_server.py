"""A name server on 127.0.0.1:53 that reads queries and never answers.

Writes one line per UDP query to the log: the queried name and the source
port (one port per look-up of the system resolver). Ends with the process
that started it, or after five minutes.
"""
import os
import select
import socket
import sys
import time


def query_name(packet):
    labels, i = [], 12
    while i < len(packet) and packet[i] != 0:
        n = packet[i]
        labels.append(packet[i + 1:i + 1 + n].decode("ascii", "replace"))
        i += 1 + n
    return ".".join(labels)


def main():
    log_path = sys.argv[1]
    parent = os.getppid()
    udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    udp.bind(("127.0.0.1", 53))
    tcp = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    tcp.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    tcp.bind(("127.0.0.1", 53))
    tcp.listen(16)
    held = []
    with open(log_path, "w", buffering=1) as log:
        end = time.monotonic() + 300
        while time.monotonic() < end and os.getppid() == parent:
            ready, _, _ = select.select([udp, tcp], [], [], 0.5)
            if udp in ready:
                packet, (_, port) = udp.recvfrom(4096)
                log.write("%s %d\n" % (query_name(packet), port))
            if tcp in ready and len(held) < 64:
                held.append(tcp.accept()[0])


main()
