#!/usr/bin/env python3
"""Writes the seed inputs of settings_read_fuzzer and settings_save_fuzzer into
corpus/settings_read_fuzzer/ and corpus/settings_save_fuzzer/ (the same seeds for both).

An input is one flag byte, a two-byte big-endian length L, L bytes of settings file, then the
save to round-trip: a status byte (bit 0: specified addresses), an entry count, a two-byte
time-out and four address bytes plus four mask bytes per entry (see settings_checks.h and
settings_save_fuzzer.cpp).
"""
import base64
import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parent
OUTS = [ROOT / "settings_read_fuzzer", ROOT / "settings_save_fuzzer"]


def write(name, data):
    for out in OUTS:
        out.mkdir(parents=True, exist_ok=True)
        (out / name).write_bytes(data)


def seed(name, text, flags=0, save=b""):
    data = text.encode("latin-1")
    write(name, bytes([flags]) + struct.pack(">H", len(data)) + data + save)


def save(specified, timeout, entries):
    out = bytes([1 if specified else 0, len(entries)]) + struct.pack(">H", timeout)
    return out + b"".join(bytes(address) + bytes(mask) for address, mask in entries)


def main():
    seed("first_start",
         "[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Disabled\n"
         "[TimeOut]\nTimeVal=6\n",
         save=save(False, 6, []))

    two = ("[BroadCast]\nStatus=Disabled\n[SearchSpecifiedAddress]\nStatus=Enabled\n"
           "IPAddress=192.168.1.0,10.0.0.5\nSubnet=255.255.255.0,255.255.255.255\n"
           "[TimeOut]\nTimeVal=10\n")
    two_entries = save(True, 10, [([198, 51, 100, 0], [255, 255, 255, 0]),
                                  ([203, 0, 113, 9], [255, 255, 255, 255])])
    seed("specified_two_entries", two, save=two_entries)
    seed("specified_two_entries_crlf", two.replace("\n", "\r\n"), flags=2, save=two_entries)

    seed("hand_edited",
         "; added by hand\n[broadcast]\nstatus=Disabledxx\n[SEARCHSPECIFIEDADDRESS]\n"
         "Status=Enabled\nIPAddress=,,10.0.0.1,,10.0.0.2,1234567890123456789,10.0.0.3,\n"
         "Subnet=255.255.255.0,,255.0.0.0\nnote=kept\n[TimeOut]\nTimeVal=1000\n"
         "# trailing comment\n",
         save=save(True, 120, [([10, 0, 0, i], [255, 255, 255, 255]) for i in range(20)]))

    # Found by fuzzing: a blank line, two byte-order marks and a header without its "]"; saves
    # once grew the file with a section name holding a line break.
    write("byte_order_marks_before_open_header",
          base64.b64decode("AFgNCu+7v++7v1s0dXM9RURuYWJsZWQNCklQQWRkcmVzcz0xOTIuMTZFbmEAPTA="))

    many = ",".join("255.255.255.%d" % i for i in range(25))
    seed("oversized_lists",
         "[SearchSpecifiedAddress]\nIPAddress=%s\nSubnet=%s\n[TimeOut]\nTimeVal=-5\n" % (many, many))


if __name__ == "__main__":
    main()
