#!/usr/bin/env python3
"""Writes the seed corpus of styled_memo_strings_fuzz: an options byte, then a text file in each
form the memo reads (8-bit with every kind of break, style codes and NULs; UTF-16 behind FF FE
or FE FF, the empty text included)."""
import os

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "styled_memo_strings_fuzz_corpus")

# Options byte: bit 0 static format, 1 trimming, 2 NUL replacement, 3 Cyrillic, 4 no word wrap,
# 5 line break from the text.
SEEDS = {
    "empty": b"\x00",
    "plain_crlf": b"\x00" + b"CQ CQ de DL1ABC\r\nk\r\n",
    "breaks_mixed": b"\x20" + b"one\ntwo\rthree\n\rfour\r\n",
    "long_paragraph": b"\x00" + b"word " * 200 + b"x" * 300,
    "codes_static": b"\x01" + b"plain \x02bold\x02 \x01it\x01 \x15u\x15\x03h\x03\x04alt\x04\r\nnext",
    "code_pairs": b"\x03" + b"a\x02\x02b\x01\x02\x01\x02c   \r\nd\t \r\n",
    "nuls": b"\x04" + b"a\x00b\r\n\x00\x00c",
    "nul_ends": b"\x00" + b"before\x00after",
    "tabs_nowrap": b"\x10" + b"col1\tcol2\tcol3\r\n\t\tindented",
    "sig_only": b"\x00\xff\xfe",
    "utf16le": b"\x00\xff\xfe" + "Grüße € 5\r\nzweite".encode("utf-16-le"),
    "utf16be_cyrillic": b"\x08\xfe\xff" + "Привет, мир\r\nЁё №".encode("utf-16-be"),
    "utf16_odd": b"\x00\xff\xfe" + "ab".encode("utf-16-le") + b"\x41",
    "utf16_surrogates": b"\x00\xff\xfe" + "x\U0001F600y 中".encode("utf-16-le"),
    "high_bytes": b"\x08" + bytes(range(0x80, 0x100)),
}

os.makedirs(HERE, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
