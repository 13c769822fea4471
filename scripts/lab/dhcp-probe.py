#!/usr/bin/env python3
"""Sends one DHCP message as a bound client would (RENEW unicast to the server, REBIND or INFORM
broadcast, all from the client's address) out of an interface, and reports the answer that comes
back in: "ACK 12.3 ms", "NAK 4.0 ms" or "none".  Used by dhcp-interop.sh for the messages a
client has no command for.

    dhcp-probe.py IFNAME MAC CLIENT_IP SERVER_IP renew|rebind|inform [TIMEOUT_S]
"""
import os
import select
import socket
import struct
import sys
import time


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def main():
    ifname, mac_text, client, server, kind = sys.argv[1:6]
    timeout = float(sys.argv[6]) if len(sys.argv) > 6 else 2.0
    mac = bytes(int(x, 16) for x in mac_text.split(":"))
    xid = struct.unpack("!I", os.urandom(4))[0]
    msg_type = {"renew": 3, "rebind": 3, "inform": 8}[kind]
    dst_ip = server if kind == "renew" else "255.255.255.255"
    bootp = struct.pack("!BBBBIHH4s4s4s4s16s64s128s", 1, 1, 6, 0, xid, 0, 0, socket.inet_aton(client),
                        b"\0" * 4, b"\0" * 4, b"\0" * 4, mac + b"\0" * 10, b"", b"")
    options = struct.pack("!I", 0x63825363) + bytes([53, 1, msg_type, 61, 7, 1]) + mac + bytes([55, 3, 1, 3, 6, 255])
    payload = bootp + options
    payload += b"\0" * max(0, 300 - len(payload))
    udp = struct.pack("!HHHH", 68, 67, 8 + len(payload), 0) + payload
    ip = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(udp), 0, 0, 64, 17, 0, socket.inet_aton(client),
                     socket.inet_aton(dst_ip))
    ip = ip[:10] + struct.pack("!H", checksum(ip)) + ip[12:]
    frame = b"\xff" * 6 + mac + b"\x08\x00" + ip + udp

    listen = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(0x0800))
    listen.bind((ifname, 0))
    send = socket.socket(socket.AF_PACKET, socket.SOCK_RAW)
    send.bind((ifname, 0))
    start = time.monotonic()
    send.send(frame)
    while True:
        left = timeout - (time.monotonic() - start)
        if left <= 0 or not select.select([listen], [], [], left)[0]:
            print("none")
            return 1
        data, addr = listen.recvfrom(4096)
        if addr[2] == socket.PACKET_OUTGOING or len(data) < 14 + 20 + 8 + 240:
            continue
        ihl = (data[14] & 0x0F) * 4
        if data[14 + 9] != 17:
            continue
        sport, dport = struct.unpack("!HH", data[14 + ihl:14 + ihl + 4])
        body = data[14 + ihl + 8:]
        if sport != 67 or dport != 68 or body[0] != 2 or struct.unpack("!I", body[4:8])[0] != xid:
            continue
        at = 240
        answer = None
        while at + 1 < len(body) and body[at] != 255:
            if body[at] == 0:
                at += 1
                continue
            if body[at] == 53:
                answer = body[at + 2]
            at += 2 + body[at + 1]
        name = {5: "ACK", 6: "NAK"}.get(answer, "type %s" % answer)
        print("%s %.1f ms" % (name, (time.monotonic() - start) * 1000))
        return 0 if answer == 5 else 1


if __name__ == "__main__":
    sys.exit(main())
