#!/usr/bin/env python3
"""Writes the seed inputs of the one-step harnesses (reply_acceptance_fuzzer,
detail_probe_fuzzer, device_table_fuzzer) into corpus/<harness>/.

Each seed is a byte script read front to back by its harness (see RunInput in each harness); a
"choice" byte is read as byte % bound, so the values below are the choices themselves.
"""
import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parent


def write(harness, name, data):
    out = ROOT / harness
    out.mkdir(parents=True, exist_ok=True)
    (out / name).write_bytes(bytes(data))


def word(value):
    return struct.pack(">H", value)


def address(a, b, c, d):
    return word(a << 8 | b) + word(c << 8 | d)


# --- reply_acceptance_fuzzer ---------------------------------------------------------------

def reply(model, host, after=2, head_mode=0):
    """A full-length reply with the live head from 198.51.100.host; `after`: 0 gives the slot
    back, 1 blanks it, 2 keeps it."""
    out = bytes([1, 0, head_mode])  # a reply (not a new request), full length, head mode
    if head_mode == 1:
        out += bytes([1, 7])  # change head byte 1 by 8
    out += model.ljust(17, b"\0")[:17] + bytes([0, host])
    return out + bytes([after]) if head_mode != 1 else out


def acceptance_seeds():
    twenty_two = b"".join(reply(b"QV-%04d" % i, 10 + i) for i in range(22))
    write("reply_acceptance_fuzzer", "more_than_twenty", bytes([5, 22]) + twenty_two)
    mixed = (reply(b"QV-2200 Color", 10) + reply(b"QV-3300", 11, after=0) +
             reply(b"wrong", 12, head_mode=1) + bytes([0]) + reply(b"QV-5500DN", 13, after=1) +
             reply(b"QV-5500DN", 13))
    write("reply_acceptance_fuzzer", "mixed", bytes([255, 6]) + mixed)


# --- detail_probe_fuzzer -------------------------------------------------------------------

def probe_header(serial_seq=10, mac_seq=20, pending=(0, 0), model=b"QV-2200"):
    out = bytes([serial_seq, mac_seq]) + bytes(pending)
    out += bytes([0])  # one slot in use
    out += bytes([1]) + address(198, 51, 100, 10)
    out += bytes([len(model)]) + model
    return out + bytes([1, 1])  # the probe runs on that slot, with a network


def answer(body, head_mode=2, length_mode=0):
    """An answer of the kind's full length (length_mode 0) with the request's head (2) or a
    changed sequence byte (1), then the sender choice."""
    out = bytes([length_mode, head_mode])
    if head_mode == 1:
        out += bytes([0])  # sequence byte + 1
    return out + body + bytes([0])


def exchange(body, **kwargs):
    return bytes([1, 2]) + answer(body, **kwargs)  # send accepted, wait readable


def probe_seeds():
    serial = b"QV22A000117"
    mac = bytes([0x02, 0x1A, 0x2B, 0x0C, 0x4D, 0x5E]) + bytes(11)
    write("detail_probe_fuzzer", "both_answers",
          probe_header() + bytes([1]) + exchange(serial) + exchange(mac))
    write("detail_probe_fuzzer", "wrong_serial_head",
          probe_header() + bytes([1]) + exchange(serial, head_mode=1))
    write("detail_probe_fuzzer", "oversize_serial_answer",
          probe_header() + bytes([1]) + exchange(serial + b"X", length_mode=1))
    write("detail_probe_fuzzer", "at_the_ceiling",
          probe_header(pending=(1, 2)) + bytes([1]) + exchange(serial) + exchange(mac))
    write("detail_probe_fuzzer", "silent_mac",
          probe_header() + bytes([1]) + exchange(serial) + bytes([1, 0]))


# --- device_table_fuzzer -------------------------------------------------------------------

def host_text(index):
    """198.51.100.(20 * index)"""
    return bytes([2, index])


def row(index):
    return host_text(index) + bytes([0, 0, 0])  # empty MAC, model and serial texts


def device(index, model=b"M", serial=b"S"):
    return (host_text(index) + bytes([1, len(model)]) + model + bytes([1, len(serial)]) + serial +
            bytes([0x02, 0x1A, 0x2B, 0x0C, 0x4D, index]))


def table_seeds():
    rows = row(3) + row(1) + row(5)
    steps = (bytes([2, 0]) + device(2) +          # in address order
             bytes([1, 0]) + device(3) +          # a duplicate
             bytes([3, 0]) + device(4) + bytes([2]) +  # in the block from row 2 on
             bytes([4, 0]) + device(0) + bytes([0]) +  # at the end
             bytes([5, 0]) + device(6) + bytes([3, 3]) +  # a row for slot 1 at row 1
             bytes([0]) + host_text(1) + host_text(2) + host_text(1))  # the order
    write("device_table_fuzzer", "placements", bytes([3]) + rows + bytes([0, 0, 6]) + steps)
    write("device_table_fuzzer", "unsorted_list", bytes([3]) + rows + bytes([1, 0, 2]) +
          bytes([2, 0]) + device(2) + bytes([3, 0]) + device(4) + bytes([1]))


def main():
    acceptance_seeds()
    probe_seeds()
    table_seeds()


if __name__ == "__main__":
    main()
