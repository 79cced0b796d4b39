#!/usr/bin/python3
# Prints the check values of tests/engine/codes/fcs16_test.cpp from python3-crcmod's predefined
# "x-25" function, an implementation independent of ours: random frames, and one long frame of
# 330 bytes (i * 37 + 11) & 0xFF.
# Run: /usr/bin/python3 tests/engine/codes/fcs16_vectors.py
import random

import crcmod.predefined

x25 = crcmod.predefined.mkPredefinedCrcFun("x-25")
rng = random.Random(1301)
for length in (1, 2, 3, 7, 15, 16, 17, 40):
    frame = bytes(rng.randrange(256) for _ in range(length))
    print('    {"%s", 0x%04X},' % ("".join("%02X" % b for b in frame), x25(frame)))
print("long frame: 0x%04X" % x25(bytes((i * 37 + 11) & 0xFF for i in range(330))))
