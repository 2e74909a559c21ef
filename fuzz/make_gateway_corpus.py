#!/usr/bin/env python3
"""Writes the gateway fuzzer's seed corpus: core connections as a client
sends them, each call one RPC record.

usage: make_gateway_corpus.py   (run in fuzz/; writes gateway_corpus/NAME)
"""
import os
import struct

CORE = 0x0607AF


def u32(v):
    return struct.pack(">I", v & 0xFFFFFFFF)


def opaque(b):
    return u32(len(b)) + b + b"\0" * (-len(b) % 4)


def call(xid, proc, args, prog=CORE, vers=1, rpcvers=2):
    body = u32(xid) + u32(0) + u32(rpcvers) + u32(prog) + u32(vers) + u32(proc)
    body += u32(0) + u32(0) + u32(0) + u32(0) + args  # AUTH_NONE credentials and verifier
    return u32(0x80000000 | len(body)) + body


def link(xid, name, lock=0):
    return call(xid, 10, u32(1) + u32(lock) + u32(0) + opaque(name))


def write(xid, lid, data, flags=8):
    return call(xid, 11, u32(lid) + u32(1000) + u32(0) + u32(flags) + opaque(data))


def read(xid, lid, size, flags=0, term=0):
    return call(xid, 12, u32(lid) + u32(size) + u32(1000) + u32(0) + u32(flags) + u32(term))


def generic(xid, proc, lid, flags=0):
    return call(xid, proc, u32(lid) + u32(flags) + u32(0) + u32(1000))


def docmd(xid, lid, cmd, data, datasize, network=1):
    return call(xid, 22, u32(lid) + u32(0) + u32(1000) + u32(0) + u32(cmd) + u32(network) + u32(datasize) + opaque(data))


def fragments(body, first):
    """A record in two fragments, the first `first` bytes long."""
    return u32(first) + body[:first] + u32(0x80000000 | (len(body) - first)) + body[first:]


SEEDS = {
    "query": link(1, b"gpib0,1") + write(2, 1, b"*IDN?\n") + read(3, 1, 100) + call(4, 23, u32(1)),
    "inst0": link(1, b"inst0") + write(2, 1, b"MEAS:VOLT?\n") + read(3, 1, 4) + read(4, 1, 100, 0x80, 10),
    "generic": link(1, b"gpib0,5") + b"".join(generic(10 + p, p, 1) for p in (13, 14, 15, 16, 17)),
    "locks": link(1, b"gpib0,2", 1) + link(2, b"loop") + write(3, 2, b"x", 9) + call(4, 18, u32(2) + u32(1) + u32(100))
    + call(5, 19, u32(1)),
    "interface": link(1, b"gpib0") + docmd(2, 1, 0x020000, b"\x3f\x5f\x40\x22", 1) + docmd(3, 1, 0x020001, b"\0\1", 2)
    + docmd(4, 1, 0x020001, b"\2\0", 2, 0) + docmd(5, 1, 0x02000A, b"\0\0\0\1", 4) + write(6, 1, b"raw"),
    "srq": link(1, b"gpib0,5") + call(2, 25, u32(0x7F000001) + u32(5000) + u32(0x0607B1) + u32(1) + u32(0))
    + call(3, 20, u32(1) + u32(1) + opaque(b"handle")) + call(4, 26, b""),
    "rejected": call(1, 10, b"", prog=0x0607B0) + call(2, 10, b"", vers=2) + call(3, 99, b"") + call(4, 0, b"")
    + call(5, 10, b"", rpcvers=3) + link(6, b"gpib0,31") + link(7, b"gpib0,x"),
    "fragments": fragments(link(1, b"gpib0,2")[4:], 8) + fragments(write(2, 1, b"abc")[4:], 12) + read(3, 1, 10),
}


def main():
    os.makedirs("gateway_corpus", exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join("gateway_corpus", name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
