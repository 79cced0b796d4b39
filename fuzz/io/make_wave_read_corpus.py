#!/usr/bin/env python3
"""Writes the seed corpus of wave_read_fuzz: small WAV files of every shape the reader parses."""
import math
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "wave_read_fuzz_corpus")


def chunk(tag, body, size=None):
    size = len(body) if size is None else size
    pad = b"\0" if len(body) % 2 else b""
    return tag + struct.pack("<I", size) + body + pad


def fmt(tag=1, channels=1, rate=11025, bits=16, length=16, align=None):
    align = channels * ((bits + 7) // 8) if align is None else align
    body = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)
    body += bytes(max(0, length - 16))
    return chunk(b"fmt ", body[:length])


def riff(*chunks, size=None):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body) if size is None else size) + body


def tone16(n, rate, channels=1):
    out = b""
    for i in range(n):
        s = int(8000 * math.sin(2 * math.pi * 1000 * i / rate))
        out += struct.pack("<h", s) * channels
    return out


SEEDS = {
    "mono16_11025.wav": riff(fmt(), chunk(b"data", tone16(64, 11025))),
    "mono16_22050.wav": riff(fmt(rate=22050), chunk(b"data", tone16(128, 22050))),
    "mono16_44100.wav": riff(fmt(rate=44100), chunk(b"data", tone16(256, 44100))),
    "stereo16_11025.wav": riff(fmt(channels=2), chunk(b"data", tone16(64, 11025, 2))),
    "mono8_11025.wav": riff(fmt(bits=8), chunk(b"data", bytes(range(0, 256, 4)))),
    "list_odd_before_data.wav": riff(fmt(), chunk(b"LIST", b"INFOabc"), chunk(b"data", tone16(32, 11025))),
    "list_before_fmt.wav": riff(chunk(b"LIST", b"INFO"), fmt(), chunk(b"data", tone16(32, 11025))),
    "fmt18.wav": riff(fmt(length=18), chunk(b"data", tone16(32, 11025))),
    "fmt40_extensible.wav": riff(fmt(tag=0xFFFE, length=40), chunk(b"data", tone16(32, 11025))),
    "fmt14.wav": riff(fmt(length=14), chunk(b"data", tone16(8, 11025))),
    "align0.wav": riff(fmt(align=0), chunk(b"data", tone16(8, 11025))),
    "align20.wav": riff(fmt(align=20), chunk(b"data", bytes(100))),
    "bits24.wav": riff(fmt(bits=24), chunk(b"data", bytes(96))),
    "data_past_end.wav": riff(fmt(), chunk(b"data", tone16(16, 11025), size=100000)),
    "riff_size_huge.wav": riff(fmt(), chunk(b"data", tone16(16, 11025)), size=0xFFFFFFFF),
    "no_data.wav": riff(fmt()),
    "not_riff.wav": b"RIFX" + riff(fmt())[4:],
}

if __name__ == "__main__":
    os.makedirs(HERE, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
