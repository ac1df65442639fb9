#!/usr/bin/env python3
"""Writes the seed corpus of each fuzz target into tests/fuzz/corpus/TARGET/
(files named seed-*), from the formats the programs really meet: records the
publisher writes, its command lines, counter readings. Reproducers of fixed
crashes (repro-*) sit beside them and are not touched.

    python3 tests/fuzz/make_seeds.py

The input layout of each target is described at the top of its source file.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

COLOR_DOWN = 0x4E9AE6
COLOR_UP = 0x7EE444
DEMO_MAX_DOWN = 12_500_000
DEMO_MAX_UP = 5_000_000
FIRST_SEQUENCE = 133_780_000_000_000_000  # a FILETIME of 2024, as the publisher starts
INT64_MAX = 2**63 - 1
U64_MAX = 2**64 - 1


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(data)


# fuzz_record_stream: client size, then tagged steps.
def record(seq, down, up, max_down=DEMO_MAX_DOWN, max_up=DEMO_MAX_UP, color_down=COLOR_DOWN,
           color_up=COLOR_UP, byte_units=1, down_on_lower=1, brushes=7):
    return bytes([1 | brushes << 2]) + struct.pack(
        "<QqqqqQQQQ", seq, down, up, max_down, max_up, color_down, color_up, byte_units,
        down_on_lower)


def same_sequence(down, up, max_down=DEMO_MAX_DOWN, max_up=DEMO_MAX_UP, brushes=7):
    return bytes([2 | brushes << 2]) + struct.pack(
        "<qqqqQQQQ", down, up, max_down, max_up, COLOR_DOWN, COLOR_UP, 1, 1)


def no_section(brushes=7):
    return bytes([brushes << 2])


def client(width, height):
    return struct.pack("<HH", width, height)


def resize(width, height):
    return bytes([3]) + client(width, height)


def record_stream_seeds():
    band = client(95, 38)
    s = FIRST_SEQUENCE
    write("fuzz_record_stream", "demo", band + b"".join(
        record(s + i, down, up) for i, (down, up) in enumerate(
            [(23_000, 9_000), (4_100_000, 310_000), (11_800_000, 180_000), (52_000, 6_000)])))
    write("fuzz_record_stream", "bits-down-on-upper", band + record(
        s, 1_310_588, 131_058_893, byte_units=0, down_on_lower=0) + record(s + 1, 0, 1, byte_units=0))
    write("fuzz_record_stream", "no-data-sample", band + record(s, -1, -1, 0, 0))
    write("fuzz_record_stream", "section-goes-and-returns", band + record(s, 1000, 200) +
          no_section() + no_section() + record(s, 1000, 200) + record(s + 1, 1000, 200))
    write("fuzz_record_stream", "repeated-sequence", band + record(s, 1000, 200) +
          same_sequence(99_000_000, 5_000_000) + same_sequence(-1, -1, -1, -1))
    write("fuzz_record_stream", "extremes", band + record(
        s, INT64_MAX, 0, 1, INT64_MAX, U64_MAX, 0xFF000000, 7, 2**63) + record(
        U64_MAX, -2**63, INT64_MAX, -1, -2**63, 0, U64_MAX, 0, 0, brushes=0))
    write("fuzz_record_stream", "tier-bounds", band + b"".join(
        record(s + i, r, r - 1, r, r + 1) for i, r in enumerate(
            [10239, 102390, 1023898, 10484712, 104847115, 1048471143, 10736773994,
             107373538154, 1073677399490])))
    write("fuzz_record_stream", "odd-and-narrow-clients", client(95, 37) + record(s, 3, 0, 4, 4) +
          resize(19, 38) + no_section(5) + resize(0, 0) + record(s + 1, 5, 5, 4, 4, brushes=3) +
          resize(32767, 32767) + no_section(6))
    write("fuzz_record_stream", "sequence-zero", band + record(0, 1000, 200) + record(s, 1, 1))


# fuzz_publisher_options: arguments, each ended by NUL.
def args(*words):
    return b"".join(w.encode("utf-8") + b"\0" for w in words)


def publisher_options_seeds():
    seeds = {
        "none": args(),
        "demo": args("--source", "demo", "--seed", "42", "--verbose"),
        "router-auto": args("--source", "router", "--router", "auto"),
        "router-url": args("--source", "router", "--router",
                           "http://192.168.178.1:49000/igddesc.xml", "--interval", "2000"),
        "adapter": args("--source", "adapter", "--adapter", "Wi-Fi"),
        "display": args("--bits", "--down-on-upper", "--color-down", "4E9AE6", "--color-up",
                        "#7EE444", "--max-down", "12500000", "--max-up", "5000000", "--once"),
        "stop": args("--stop", "--section-name", "Local\\Nimbrel-Test"),
        "help": args("--help"),
        "mistakes": args("--interval", "50", "--color-up", "red"),
        "unknown-option": args("--source", "cable", "--fast"),
        "missing-value": args("--source", "router", "--router"),
        "wide-text": args("--adapter", "Ethernet 2 \u00e4\u20ac\U0001F600", "--source", "adapter"),
    }
    for name, data in seeds.items():
        write("fuzz_publisher_options", name, data)


# fuzz_counter_delta: a width byte, then tagged steps.
def reading(value, step_ms, max_bps, wide=False):
    tag = 2 | (4 if wide else 0) | 8
    return bytes([tag]) + struct.pack("<QQQ", value, step_ms, max_bps)


def delta(prev, cur, wrap32, max_delta):
    return bytes([0 | (4 if wrap32 else 0)]) + struct.pack("<QQQ", prev, cur, max_delta)


def rate(delta_bytes, elapsed_ms):
    return bytes([1]) + struct.pack("<QQ", delta_bytes, elapsed_ms)


def sequence(prev):
    return bytes([3]) + struct.pack("<Q", prev)


def counter_delta_seeds():
    link = 12_500_000
    write("fuzz_counter_delta", "router-32bit-wrap", bytes([1]) + reading(2**32 - 5_000_000, 0, link) +
          reading(3_000_000, 1000, link) + reading(14_000_000, 2000, link))
    write("fuzz_counter_delta", "router-restart", bytes([1]) + reading(3_000_000_000, 0, link) +
          reading(500, 1000, link) + reading(10_500, 2000, link))
    write("fuzz_counter_delta", "adapter-64bit", bytes([0]) + reading(2**40, 0, 0, True) +
          reading(2**40 + 125_000_000, 1000, 0, True) + reading(5, 2000, 0, True))
    write("fuzz_counter_delta", "arithmetic", bytes([0]) + delta(2**32 - 100, 50, True, 2**31) +
          delta(5, 4, False, U64_MAX) + rate(U64_MAX, 1) + rate(123_456, 1000) + rate(1, 0) +
          sequence(U64_MAX) + sequence(0) + sequence(FIRST_SEQUENCE))


if __name__ == "__main__":
    record_stream_seeds()
    publisher_options_seeds()
    counter_delta_seeds()
