#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/seeds/<target>/.

Each seed is a valid input: whole exchanges with the answers the units give,
parameter files as the tool stores them (and as a text editor re-saves
them), integer texts of every form. The fuzzers start from these and
mutate. Run it again after changing an input layout; the seeds are kept in
the repository so that a fuzz run needs nothing else.
"""
import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))
SEEDS = os.path.join(HERE, "seeds")


def frame(command, data, selector=0x80):
    body = bytes([0x96, len(data) + 3, selector, command]) + bytes(data)
    check = 0
    for b in body:
        check ^= b
    return body + bytes([check])


def addr(*rest):
    return bytes([0x00, 0x01]) + bytes(rest)


def words(values):
    out = b""
    for v in values:
        out += bytes([v >> 8, v & 0xFF])
    return out


# ---- fuzz_receive -------------------------------------------------------
KINDS = {"idle": 0, "radio write": 1, "radio read": 2, "central write": 3, "central read": 4,
         "subscriber write": 5, "subscriber read": 6, "reading": 7, "auto reading": 8}
ECHO, SHORT, SYNC, LEFTOVER = 0x01, 0x02, 0x04, 0x08


def receive_input(kind, pieces, flags=ECHO, step=0, ticks=0, ring=0, remain=0, check=0):
    head = bytes([KINDS[kind], flags, step, ticks, ring >> 8, ring & 0xFF, remain, check])
    body = b""
    for mode, data in pieces:
        # Lengths above 255 go in several pieces without ticks between.
        while len(data) > 255:
            body += bytes([1, 255]) + data[:255]
            data = data[255:]
        body += bytes([mode, len(data)]) + data
    return head + body


TICK, NO_TICK, TIMEOUT, AUTO = 0, 1, 2, 3
RADIO_ID = frame(0x99, addr(*b"DK618-450"))
RADIO_READ = [RADIO_ID,
              frame(0x63, addr() + words([17320 + i for i in range(10)] + [17600 + i for i in range(10)])),
              frame(0x67, addr(0x01, 0x2C)),
              frame(0x6B, addr(0x03) + words([17320, 17600])),
              frame(0x72, addr(0x40, 0xCC, 0xAC, 0x32, 0x40, 0x00, 0x3C))]
ACKS = [frame(c, addr()) for c in (0x61, 0x65, 0x69, 0x70)]
CENTRAL_READ = [frame(0x63, addr() + words([17320 + i for i in range(40)]) + bytes([3])),
                frame(0x67, bytes([0x00, 0x2C])),
                frame(0x6B, addr(0x02) + words([17320, 17400, 17500, 17600])),
                frame(0x73, addr(0x80, 0x5A))]
SUBSCRIBER_READ = [frame(0x63, addr() + words([17320, 17521])),
                   frame(0x67, addr(0x04, 0xD2), 0x81),
                   frame(0x73, addr(0x2C, 0x80, 0x01), 0x81)]
READINGS = [frame(0xD8, addr(35, 5, 0)), frame(0xDA, addr(12, 0)), frame(0xD4, addr(0, 95)), frame(0xD2, addr(0x01, 0xB0))]
TRIMMING = frame(0xDF, addr(10, 20, 30, 40, 50, 60, 70, 3, 90, 80))


def split(data, at):
    return [(NO_TICK, data[:at]), (TICK, data[at:])]


RECEIVE = {
    "radio-read": receive_input("radio read", [(TICK, f) for f in RADIO_READ]),
    "radio-read-800": receive_input("radio read", [(TICK, frame(0x99, addr(*b"DK285-800")))] + [(TICK, f) for f in RADIO_READ[1:]]),
    "radio-read-split": receive_input("radio read", [p for f in RADIO_READ for p in split(f, 3)]),
    "radio-read-wrapping-ring": receive_input("radio read", [(TICK, f) for f in RADIO_READ], ring=990),
    "radio-read-stray-bytes": receive_input("radio read", [(TICK, b"\x00\x55" + f + b"\x96") for f in RADIO_READ]),
    "radio-read-timeout": receive_input("radio read", [(TICK, RADIO_ID), (TIMEOUT, b"")]),
    "radio-read-short": receive_input("radio read", [(TICK, RADIO_ID), (TICK, frame(0x63, addr(1, 2)))]),
    "radio-read-step4": receive_input("radio read", [(TICK, RADIO_READ[4])], step=4),
    "radio-write": receive_input("radio write", [(TICK, RADIO_ID)] + [(TICK, f) for f in ACKS], flags=ECHO | SYNC),
    "radio-write-12k5": receive_input("radio write", [(TICK, frame(0x99, addr(*b"DK245N")))] + [(TICK, f) for f in ACKS], flags=0x40),
    "central-read": receive_input("central read", [(TICK, f) for f in CENTRAL_READ]),
    "central-read-short": receive_input("central read", [(TICK, b"")] + [(TICK, f) for f in CENTRAL_READ[1:]], flags=ECHO | SHORT),
    "central-write": receive_input("central write", [(TICK, f) for f in ACKS]),
    "central-timeout": receive_input("central read", [(TIMEOUT, b"")], ticks=30),
    "subscriber-read": receive_input("subscriber read", [(TICK, f) for f in SUBSCRIBER_READ]),
    "subscriber-write": receive_input("subscriber write", [(TICK, f) for f in ACKS]),
    "reading": receive_input("reading", [(TICK, READINGS[2])]),
    "auto-reading": receive_input("auto reading", [(AUTO, f) for f in READINGS]),
    "trimming-report": receive_input("idle", [(TICK, TRIMMING)]),
    "mid-frame-with-leftover": receive_input("radio read", [(TICK, RADIO_ID[4:])] + [(TICK, f) for f in RADIO_READ], flags=ECHO | LEFTOVER | 0x20, remain=12, check=0x5A),
    "bad-check-and-empty-frames": receive_input("radio read", [(TICK, RADIO_ID[:-1] + b"\x00"), (TICK, b"\x96\x00\x96\x01\x97"), (TICK, RADIO_ID)]),
}

# ---- fuzz_inifile ------------------------------------------------------


def gbk(text):
    return text.encode("gbk")


RADIO_KEYS = ([(f"信道{i}发射频率", str(4300000 + 250 * i)) for i in range(10)]
              + [(f"信道{i}接收频率", str(4400000 + 250 * i)) for i in range(10)]
              + [("当前信道", "3"), ("设备地址", "300"), ("传输方式", "协议"), ("地址模式", "有效"),
                 ("设备通讯速率", "9600"), ("设备校验方式", "偶校验"), ("无线速率", "9600"), ("中转方式", "有效")])
SUBSCRIBER_KEYS = [("上行发射频率", "4330000"), ("上行接收频率", "4380250"), ("基站发射频率", "4330500"),
                   ("基站接收频率", "4380750"), ("设备地址", "1234"), ("设备通讯速率", "9600"), ("设备空中速率", "9600B")]


def section(name, keys, br):
    return f"[{name}]{br}" + "".join(f"{k}={v}{br}" for k, v in keys)


def parameter_text(br="\r\n"):
    return section("File_DK618", RADIO_KEYS, br) + section("File_MLR4800", SUBSCRIBER_KEYS, br)


def ini_input(content, edits=()):
    head = bytes([len(edits)])
    for s, k, v in edits:
        for part in (s, k, v):
            head += bytes([len(part)]) + part
    return head + content


INIFILE = {
    "gbk-crlf": ini_input(gbk(parameter_text())),
    "gbk-lf": ini_input(gbk(parameter_text("\n"))),
    "gbk-radio-only": ini_input(gbk(section("File_DK618", RADIO_KEYS, "\r\n"))),
    "utf8-bom": ini_input(b"\xEF\xBB\xBF" + parameter_text().encode("utf-8")),
    "utf8": ini_input(parameter_text("\n").encode("utf-8")),
    "repeated": ini_input(gbk(section("File_DK618", RADIO_KEYS[:5], "\r\n") + "[Other]\r\nx=1\r\n"
                              + section("File_DK618", RADIO_KEYS[3:], "\r\n"))),
    "comments-and-blanks": ini_input(gbk("; 参数\r\n\r\n  [File_DK618]  \r\n 设备地址 = 7 \r\n\t当前信道=\t2\r\n")),
    "edits": ini_input(gbk(parameter_text()), [(b"File_DK618", gbk("设备地址"), b"77"), (b"New", b"k", b" v "),
                                                 (b"File_MLR4800", gbk("设备空中速率"), b"4800C")]),
    "edits-utf8": ini_input(b"\xEF\xBB\xBF" + parameter_text().encode("utf-8"), [(b"File_DK618", gbk("传输方式"), gbk("透明"))]),
    "empty-with-edit": ini_input(b"", [(b"S", b"k", b"1")]),
    # A free text whose last double-byte character is cut off by the end of
    # the file, after a blank: the cut byte must stay as a stand-in.
    "cut-at-end": ini_input(gbk(section("File_MLR4800", SUBSCRIBER_KEYS[:-1], "\n") + "设备空中速率=9\t") + b"\xB4"),
}

# ---- fuzz_strtoint -----------------------------------------------------
STRTOINT = {name: text.encode("utf-8") for name, text in {
    "decimal": "4330000", "negative": "-2147483648", "blanks-sign": "  +42", "dollar-hex": "$FFFFFFFF",
    "0x-hex": "0x7fffffff", "negative-hex": "-$80000000", "leading-zeros": "000000000000001",
    "too-big": "2147483648", "empty": "", "junk": "12a", "wide-digit": "１２",
}.items()}


def write(target, seeds):
    folder = os.path.join(SEEDS, target)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    write("fuzz_receive", RECEIVE)
    write("fuzz_inifile", INIFILE)
    write("fuzz_strtoint", STRTOINT)
