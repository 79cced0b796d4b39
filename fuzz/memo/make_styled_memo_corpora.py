#!/usr/bin/env python3
"""Writes the seed corpora of styled_memo_undo_fuzz, styled_memo_stream_fuzz and
styled_memo_dyn_text_fuzz, keyword_lists_fuzz and styled_memo_start_stop_fuzz in the forms the memo's savers write them: undo lists as SaveUndo
writes them, texts as SaveToStream writes them, styled-text strings as DynText writes them, keyword and start/stop key lists as their
SaveToIniStrings write them, texts with the start and stop texts the fuzz target's keys use."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(corpus, seeds):
    path = os.path.join(HERE, corpus)
    os.makedirs(path, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(path, name), "wb") as f:
            f.write(data)


# ---- undo lists: index, count, then per record its size and (start, stop, group, text, NUL) ----
def undo(index, records):
    out = struct.pack("<ii", index, len(records))
    for start, stop, group, text in records:
        block = struct.pack("<iii", start, stop, group) + text + b"\0"
        out += struct.pack("<i", len(block)) + block
    return out


write("styled_memo_undo_fuzz_corpus", {
    "empty_list": undo(0, []),
    "typed": undo(1, [(0, 3, 0, b"")]),
    "replaced": undo(2, [(0, 3, 0, b""), (1, 4, 0, b"b")]),
    "redo_left": undo(1, [(0, 3, 0, b""), (1, 4, 0, b"b")]),
    "bracket": undo(3, [(0, 5, 0, b""), (0, 1, 1, b""), (6, 7, 1, b""), (2, 2, 1, b"two\r\nthree")]),
    "far_offsets": undo(1, [(900, 1000, 0, b"xyz")]),
})


# ---- texts, behind the fuzz target's options byte ----
write("styled_memo_stream_fuzz_corpus", {
    "empty": b"\x00",
    "crlf": b"\x00" + b"CQ CQ de DL1ABC\r\nk\r\n\r\nend",
    "codes_static": b"\x01" + b"plain \x02bold\x02 \x01it\x01\r\nnext",
    "trailing": b"\x02" + b"a  \t\r\nb \r\n",
    "nuls": b"\x04" + b"a\x00b\r\n\x00c",
    "bounded_breaks": b"\x08" + b"\n" * 40,
    "bounded_fits": b"\x08" + b"line\r\n" * 10,
})


# ---- styled-text strings: two range bytes, then count, entries (58-byte attribute and offset)
# and the text ----
def attr(flags=0, level=0xFF, back=0, fore=0, context=0, cursor=0, keys=(0,) * 18):
    return struct.pack("<iBBBBiiih18h", 0, flags, level, 0, 0, back, fore, context, cursor, *keys)


EMPTY = attr()
BOLD_RED = attr(flags=0x81, back=-1, fore=0x0000FF)
ITALIC = attr(flags=0x82, back=-1, fore=-1, context=7)


def dyn(start, stop, entries, text):
    out = bytes([start, stop]) + struct.pack("<i", len(entries))
    for a, offset in entries:
        assert len(a) == 58
        out += a + struct.pack("<i", offset)
    return out + text


write("styled_memo_dyn_text_fuzz_corpus", {
    "plain": dyn(0, 0, [(EMPTY, 0)], b"hello"),
    "styled": dyn(6, 10, [(EMPTY, 0), (BOLD_RED, 2), (EMPTY, 5), (ITALIC, 9)], b"e two three\r\nfour "),
    "replace_all": dyn(0, 31, [(ITALIC, 0)], b"x\r\ny"),
    "too_short": dyn(1, 2, [(EMPTY, 0), (BOLD_RED, 3)], b"")[:-20],
})


# ---- ini lines, behind a byte choosing the list (even: keywords, odd: start/stop keys) ----
write("keyword_lists_fuzz_corpus", {
    "keywords": b"\x00" + b"CQ=3,17,42,-21,65280,-2147483640,0,0,\r\na=b=0,1,0,0,536870911,7,0,0,\r\n",
    "keywords_bad": b"\x00" + b"one=0,0,0,0,255,16,0,0,\r\ntwo=1,2,x,4,5,6,\r\n",
    "start_stop": b"\x01" + b"(*|*)=1,2,9,3,1193046,-5,0,0,0,\r\nrem|=0,0,1,0,536870911,536870911,1,0,0,\r\n",
    "start_stop_bars": b"\x01" + b"x=|a|b=0,0,1,0,0,0,0,0,0,\r\nnobar=0,0,0,0,0,0,1,\r\n",
})


# ---- texts with start/stop texts: edit place, replaced length, edit length, edit, text ----
def edit(at, replace, insert, text):
    return bytes([at, replace, len(insert)]) + insert + text


write("styled_memo_start_stop_fuzz_corpus", {
    "braces": edit(3, 0, b"}", b"a {b c\r\nd} e"),
    "comment": edit(0, 2, b"", b"// note\r\nx (* y\r\nz *) if"),
    "words": edit(6, 1, b"x", b"begin if cq end beginning\r\n\"str\" \"t'"),
    "nested": edit(4, 0, b"{", b"{{{{{{{{{{{{{{{{{x}}}}}}}}}}}}}}}}}"),
})
