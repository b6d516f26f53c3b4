#!/usr/bin/env python3
"""Writes the seed inputs of reply_path_fuzzer into corpus/reply_path_fuzzer/.

Each seed is a byte script read front to back by the harness (see RunScenario in
reply_path_fuzzer.cpp); these builders emit the same fields in the same order.
"""
import pathlib
import struct

OUT = pathlib.Path(__file__).resolve().parent / "reply_path_fuzzer"

NORMAL, SILENT, WRONG_HEAD, TOO_LONG, SHORT, TWICE, CUSTOM = range(7)
NET_198_51_100, NET_203_0_113, NET_198_18, NET_198_19_255 = range(4)
PREFIX_24, PREFIX_16, PREFIX_32 = 0, 2, 3  # indexes of the harness's prefix table
MASK_24, MASK_32, MASK_16 = 0, 1, 2  # indexes of the harness's mask table


def word(value):
    return struct.pack(">H", value)


def reply(behaviour, delay_micros=0, extra=b""):
    return bytes([behaviour]) + word(delay_micros // 150) + extra


def datagram(length_kind, head_mode, head=b"", step=0, pattern=b"X", extra=b""):
    """length_kind: 1 = 4 bytes, 2 = 15, 3 = 21, 4 = 22, 7 = a word of length (in extra)."""
    out = bytes([length_kind]) + extra + bytes([head_mode])
    out += head if head_mode == 0 else bytes([step])
    return out + bytes([len(pattern) - 1]) + pattern


def printer(host, net=NET_198_51_100, prefix=PREFIX_24, model=b"LP-2200", serial=b"SN0001",
            mac=b"\x02\x1a\x2b\x0c\x4d\x5e", kinds=None):
    kinds = kinds or [reply(NORMAL, 200000), reply(NORMAL, 100000), reply(NORMAL, 100000)]
    return (bytes([net, host, prefix]) + b"".join(kinds) + model.ljust(17, b"\0")[:17] +
            serial.ljust(11, b"\0")[:11] + mac.ljust(16, b"\0")[:16])


def header(specified=False, narrow=False, status=0, changes=False, timeout=6, printers=0,
           injected=0, hand_edited=False):
    flags = ((1 if specified else 0) | (2 if narrow else 0) | (status << 4) |
             (0x40 if changes else 0) | (0x80 if hand_edited else 0))
    return bytes([flags, timeout, printers, injected])


def injection(sender_host, arrival_micros, body, to_probe=None):
    out = bytes([1 if to_probe is None else 0])
    if to_probe is not None:
        out += bytes([to_probe - 1])
    return out + bytes([200, NET_198_51_100, sender_host]) + word(arrival_micros // 350) + body


def write(name, data):
    OUT.mkdir(parents=True, exist_ok=True)
    (OUT / name).write_bytes(data)


def main():
    three = [printer(12, model=b"LP-2200", serial=b"A1"), printer(9, serial=b"A2"),
             printer(10, serial=b"A3", mac=b"\x00\x01\x02\x03\x04\x05")]
    write("broadcast_three_printers", header(printers=3) + b"".join(three))

    many = [printer(1 + i, serial=b"S%02d" % i) for i in range(22)]
    write("broadcast_more_than_twenty", header(printers=22, timeout=8) + b"".join(many))

    odd = [
        printer(20, kinds=[reply(TWICE, 100000, word(1000000 // 150)), reply(NORMAL),
                           reply(SILENT)]),
        printer(21, kinds=[reply(NORMAL), reply(WRONG_HEAD), reply(NORMAL)]),
        printer(22, kinds=[reply(NORMAL), reply(SHORT), reply(NORMAL)]),
        printer(23, kinds=[reply(NORMAL), reply(NORMAL, 1500000), reply(NORMAL)]),
        printer(24, kinds=[reply(NORMAL), reply(NORMAL), reply(TOO_LONG, 0, word(1))]),
    ]
    stray = [
        injection(30, 500000, datagram(4, 1, step=0, pattern=b"TOO-LONG-DATAGRAM")),
        injection(31, 700000, datagram(3, 1, step=0, pattern=b"MODEL-FROM-NOWHERE")),
        injection(32, 900000, datagram(7, 0, head=b"\xff\xff\xff\xff", extra=word(1400))),
        injection(20, 0, datagram(2, 2, step=1, pattern=b"SERIAL"), to_probe=1),
    ]
    write("broadcast_misbehaving_printers",
          header(printers=len(odd), injected=len(stray)) + b"".join(odd) + b"".join(stray))

    pairs = bytes([2, NET_203_0_113, 0, MASK_24, NET_198_18, 5, MASK_32])
    spread = [printer(7), printer(3), printer(40, net=NET_203_0_113),
              printer(2, net=NET_203_0_113), printer(5, net=NET_198_18, prefix=PREFIX_16)]
    write("specified_subnets_and_single",
          header(specified=True, status=1, printers=len(spread)) + pairs + b"".join(spread))

    # Hand-edited lists: each a length, then its text.
    def list_text(text):
        return bytes([len(text)]) + text.encode("latin-1")
    lists = list_text("203.0.113.0, 1.2.3.4,,198.18.0.5") + list_text("255.255.255.0,x,,255.255.0.0")
    write("specified_hand_edited_lists",
          header(specified=True, status=1, printers=len(spread), hand_edited=True) + lists +
          b"".join(spread))

    changes = bytes([1, 1, 1, 3, 2])
    write("broadcast_status_changes",
          header(changes=True, printers=3) + changes + b"".join(three))


if __name__ == "__main__":
    main()
