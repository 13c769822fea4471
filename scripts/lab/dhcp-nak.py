#!/usr/bin/env python3
"""A DHCP server that refuses every lease: it offers an address like any server, then answers the
client's request with a NAK (a server whose scope no longer matches its leases does exactly this).
The fault campaign runs it on a network's bridge while that network's real server is stopped.

    dhcp-nak.py INTERFACE SERVER_ADDRESS OFFERED_ADDRESS PIDFILE

Prints one line per answer ("offer to MAC" / "nak to MAC") and ends on SIGTERM.
"""
import os
import signal
import socket
import struct
import sys

MAGIC = b"\x63\x82\x53\x63"
DISCOVER, OFFER, REQUEST, NAK = 1, 2, 3, 6


def options(data):
    """The options of a BOOTP packet as {code: bytes}; a malformed tail is ignored."""
    found, i = {}, 240
    while i < len(data):
        code = data[i]
        if code == 255:
            break
        if code == 0:
            i += 1
            continue
        if i + 1 >= len(data) or i + 2 + data[i + 1] > len(data):
            break
        found[code] = data[i + 2:i + 2 + data[i + 1]]
        i += 2 + data[i + 1]
    return found


def reply(request, kind, server, offered):
    xid, flags, chaddr = request[4:8], request[10:12], request[28:44]
    yiaddr = socket.inet_aton(offered) if kind == OFFER else b"\0" * 4
    head = struct.pack("!BBBB", 2, 1, 6, 0) + xid + b"\0\0" + flags + b"\0" * 4 + yiaddr
    head += b"\0" * 8 + chaddr + b"\0" * 192 + MAGIC
    opts = bytes([53, 1, kind, 54, 4]) + socket.inet_aton(server)
    if kind == OFFER:
        mask = socket.inet_aton("255.255.255.0")
        opts += bytes([51, 4]) + struct.pack("!I", 600) + bytes([1, 4]) + mask + bytes([3, 4])
        opts += socket.inet_aton(server)
    return head + opts + b"\xff"


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    interface, server, offered, pidfile = sys.argv[1:]
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, interface.encode())
    sock.bind(("", 67))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    with open(pidfile, "w") as f:
        f.write(f"{os.getpid()}\n")
    while True:
        data, _ = sock.recvfrom(2048)
        if len(data) < 240 or data[0] != 1 or data[236:240] != MAGIC:
            continue
        kind = options(data).get(53, b"\0")[0]
        mac = data[28:34].hex(":")
        if kind == DISCOVER:
            answer, name = OFFER, "offer"
        elif kind == REQUEST:
            answer, name = NAK, "nak"
        else:
            continue
        sock.sendto(reply(data, answer, server, offered), ("255.255.255.255", 68))
        print(f"dhcp-nak: {name} to {mac}", flush=True)


if __name__ == "__main__":
    main()
