#!/usr/bin/env python3
"""Writes the seed corpus of each fuzz target into tests/fuzz/corpus/TARGET/
(files named seed-*), from the formats the programs really meet: records the
publisher writes, its command lines, counter readings, SSDP answers, URLs,
service types and numbers from device descriptions, router texts bound for the
console. Reproducers of fixed crashes (repro-*) sit beside them and are not
touched.

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
        "autostart-router": args("--autostart", "on", "--source", "router", "--router", "auto",
                                 "--interval", "2000"),
        "autostart-quoting": args("--autostart", "on", "--source", "adapter", "--adapter",
                                  "Ethernet \"2\" C:\\x\\", "--section-name", "a\tb\\\\"),
        "version-and-autostart-off": args("--version", "--autostart", "off"),
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


# fuzz_ssdp_answer: the sender's IPv4 address, then one datagram.
def sender(address):
    return bytes(int(part) for part in address.split("."))


def ssdp_answer_seeds():
    crlf = "\r\n"
    gateway = crlf.join([
        "HTTP/1.1 200 OK", "CACHE-CONTROL: max-age=1800", "DATE: Sat, 07 Dec 2024 14:00:00 GMT",
        "EXT:", "LOCATION: http://192.168.178.1:49000/igddesc.xml",
        "SERVER: Linux/5.4 UPnP/1.0 gateway/1.0",
        "ST: urn:schemas-upnp-org:device:InternetGatewayDevice:1",
        "USN: uuid:75802409-bccb-40e7-8e6c-fa095ecce13e::"
        "urn:schemas-upnp-org:device:InternetGatewayDevice:1", "", ""])
    small = ("HTTP/1.1 200 OK\r\nST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n"
             "USN: uuid:00000000-0000-0000-0000-000000000001::urn:schemas-upnp-org:device:"
             "InternetGatewayDevice:1\r\nEXT:\r\nSERVER: OpenWRT/23.05 UPnP/1.1 upnpd/2.3\r\n"
             "Location: http://10.0.0.1:5000/rootDesc.xml\r\nOPT: \"http://schemas.upnp.org/"
             "upnp/1/0/\"; ns=01\r\nCache-Control: max-age=120\r\nBOOTID.UPNP.ORG: 1\r\n\r\n")
    router = "192.168.178.1"
    seeds = {
        "gateway": gateway,
        "small-router": small,
        "bare-newlines": "HTTP/1.1 200 OK\nlocation:http://10.0.0.1:5000/rootDesc.xml\n\n",
        "notify": "NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nNT: upnp:rootdevice\r\n"
                  "NTS: ssdp:alive\r\nLOCATION: http://192.168.1.20:8080/desc.xml\r\n\r\n",
        "not-found": "HTTP/1.1 404 Not Found\r\nLOCATION: http://10.0.0.1/d.xml\r\n\r\n",
        "no-location": "HTTP/1.1 200 OK\r\nST: upnp:rootdevice\r\n\r\n",
        "other-host": gateway.replace("192.168.178.1", "192.168.178.66"),
        "leading-zero": gateway.replace("192.168.178.1", "192.168.178.01"),
        "ipv6": gateway.replace("192.168.178.1", "[fe80::1]"),
    }
    for name, text in seeds.items():
        write("fuzz_ssdp_answer", name, sender(router) + text.encode("latin-1"))
    write("fuzz_ssdp_answer", "small-router-sender", sender("10.0.0.1") + small.encode("latin-1"))
    write("fuzz_ssdp_answer", "spoofed-sender", sender("192.168.178.66") + gateway.encode("latin-1"))


# fuzz_control_url: description URL, URLBase, controlURL, each ended by NUL.
def control_url_seeds():
    seeds = {
        "host-relative": ("http://192.168.178.1:49000/igddesc.xml", "",
                          "/igdupnp/control/WANCommonIFC1"),
        "description-relative": ("http://192.168.1.1:1900/desc/igd.xml", "", "control/wan"),
        "url-base": ("http://10.0.0.1:5000/rootDesc.xml", "http://10.0.0.1:5000/", "ctl/CmnIfCfg"),
        "absolute-same-host": ("http://10.0.0.1:5000/rootDesc.xml", "",
                               "http://10.0.0.1:6000/ctl/CmnIfCfg"),
        "absolute-other-host": ("http://10.0.0.1:5000/rootDesc.xml", "",
                                "http://127.0.0.1:8080/admin"),
        "base-other-host": ("http://10.0.0.1:5000/rootDesc.xml", "http://10.0.0.99/", "ctl"),
        "query-and-padding": ("http://10.0.0.1:5000/a/rootDesc.xml?x=1/2", "  ",
                              "\n  ctl  \n"),
        "ipv6": ("http://[fe80::1%25eth0]:5000/rootDesc.xml", "", "/ctl/IPConn"),
        "user-info": ("http://admin@10.0.0.1/desc.xml", "", "https://10.0.0.1/ctl"),
    }
    for name, parts in seeds.items():
        write("fuzz_control_url", name, args(*parts))


# fuzz_upnp_number: an element's text.
def upnp_number_seeds():
    seeds = {
        "zero": "0", "ui4-max": "4294967295", "ui8-max": "18446744073709551615",
        "above-int64": "9223372036854775808", "padded": " \n\t 123456789012 \r\n",
        "negative": "-1", "too-long": "184467440737095516150", "hex": "0x1F",
    }
    for name, text in seeds.items():
        write("fuzz_upnp_number", name, text.encode("ascii"))



# fuzz_soap_request: serviceType, action, a header line, each ended by NUL.
def soap_request_seeds():
    seeds = {
        "counters-v1": ("urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1",
                        "GetTotalBytesReceived", "SOAPAction: \"urn:x#A\""),
        "counters-v2": ("urn:schemas-upnp-org:service:WANCommonInterfaceConfig:2",
                        "GetCommonLinkProperties", "Content-Type: text/xml; charset=\"utf-8\""),
        "vendor-service": ("urn:dslforum-org:service:WANCommonInterfaceConfig:1", "GetAddonInfos",
                           "Host: 192.168.178.1:49000"),
        "injection": ("urn:x\"><evil/>&amp;\r\nX-Injected: 1", "Get<Bytes>",
                      "SOAPAction: a\r\nHost: evil"),
        "wide-lookalike": ("urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1\u013c",
                           "Get\uff1cTotal", "N\u0100me: v"),
    }
    for name, parts in seeds.items():
        write("fuzz_soap_request", name, args(*parts))


# fuzz_console_line: the cap (2 bytes), then the text.
def console_line_seeds():
    cap = struct.pack("<H", 400)
    seeds = {
        "router-fault": cap + "SOAP fault 401 Invalid Action from http://192.168.178.1:49000/"
                              "igdupnp/control/WANCommonIFC1".encode("utf-8"),
        "terminal-escapes": cap + "\x1b[2J\x1b]0;owned\x07\r\nSecond line\x7f\u0085".encode("utf-8"),
        "bidi-and-separators": cap + "abc\u202egnp.exe\u2028\u2029\u2066x\u2069".encode("utf-8"),
        "surrogates": struct.pack("<H", 6) + "ab\U0001F600cd\U0001F600".encode("utf-8") +
                      b"\xed\xa0\x80x",
        "long": struct.pack("<H", 8) + b"0123456789abcdef",
        "tiny-cap": struct.pack("<H", 0) + b"abcdef",
    }
    for name, data in seeds.items():
        write("fuzz_console_line", name, data)


if __name__ == "__main__":
    record_stream_seeds()
    publisher_options_seeds()
    counter_delta_seeds()
    ssdp_answer_seeds()
    control_url_seeds()
    upnp_number_seeds()
    soap_request_seeds()
    console_line_seeds()
