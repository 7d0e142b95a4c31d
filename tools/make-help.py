#!/usr/bin/env python3
"""Compiles the help source (res/help/KEVRAN.txt) into a Windows 3.1 help file.

Usage: make-help.py SOURCE OUTPUT

Source format: "title: TEXT" gives the help file's title; "== NAME [NUMBER] : TITLE"
starts a topic with context name NAME, optional context number NUMBER (what
WinHelp's HELP_CONTEXT asks for) and TITLE; the lines that follow are its text,
paragraphs separated by blank lines. Lines starting with "#" are comments. The
first topic is the contents topic.

The file is a container of internal files found through a B+ tree directory:
|SYSTEM (title, contents topic), |FONT, |TOPIC (uncompressed 4 KB topic blocks),
|CONTEXT (context name hashes) and |CTXOMAP (context numbers)."""
import re
import struct
import sys

BLOCK = 4096            # topic block size of an uncompressed 3.1 file
BLOCK_DATA = BLOCK - 12  # after each block's header
NONE = 0xFFFFFFFF

# Context name hash: a weight per character, accumulated times 43.
_HASH_WEIGHTS = {}
for i, c in enumerate("123456789"):
    _HASH_WEIGHTS[c] = i + 1
_HASH_WEIGHTS["0"] = 10
_HASH_WEIGHTS["."] = 12
_HASH_WEIGHTS["_"] = 13
for i in range(26):
    _HASH_WEIGHTS[chr(ord("A") + i)] = 17 + i
    _HASH_WEIGHTS[chr(ord("a") + i)] = 17 + i


def context_hash(name):
    if not re.fullmatch(r"[0-9A-Za-z_.]+", name):
        raise ValueError("context name %r: only letters, digits, '_' and '.'" % name)
    h = 0
    for c in name:
        h = (h * 43 + _HASH_WEIGHTS[c]) & 0xFFFFFFFF
    return h


def signed(v):
    return v - (1 << 32) if v & 0x80000000 else v


def cushort(v):
    return bytes([v * 2]) if v < 128 else struct.pack("<H", v * 2 + 1)


def culong(v):
    return struct.pack("<H", v * 2) if v < 32768 else struct.pack("<I", v * 2 + 1)


class Topic:
    def __init__(self, name, number, title):
        self.name, self.number, self.title = name, number, title
        self.paragraphs = []


def parse(text):
    title, topics, lines = "", [], []

    def flush():
        if topics:
            for para in re.split(r"\n\s*\n", "\n".join(lines)):
                words = " ".join(para.split())
                if words:
                    topics[-1].paragraphs.append(words)
        lines.clear()

    for n, line in enumerate(text.splitlines(), 1):
        if line.startswith("#"):
            continue
        m = re.fullmatch(r"==\s*(\S+)(?:\s+(\d+))?\s*:\s*(.+)", line)
        if m:
            flush()
            topics.append(Topic(m.group(1), int(m.group(2)) if m.group(2) else None, m.group(3).strip()))
        elif line.startswith("title:") and not topics:
            title = line[6:].strip()
        elif topics:
            lines.append(line)
        elif line.strip():
            raise ValueError("line %d: text before the first topic" % n)
    flush()
    if not topics:
        raise ValueError("no topics")
    return title, topics


def encode(s):
    return s.encode("cp1252")


def text_record(font, paragraphs, space_below):
    """LinkData1 and LinkData2 of a displayable-text record: one string per
    formatting command, the font first, an end of paragraph after each."""
    strings = [b""] + [encode(p) for p in paragraphs] + [b""]
    commands = struct.pack("<BH", 0x80, font) + b"\x82" * len(paragraphs) + b"\xff"
    data2 = b"".join(s + b"\0" for s in strings)
    # Paragraph info: two fixed bytes, id 0, and only the space below each
    # paragraph (a compressed signed short, biased by 64).
    para = b"\x00\x80" + struct.pack("<HH", 0, 0x0004) + bytes([(space_below + 64) * 2])
    data1 = culong(len(data2)) + cushort(len(data2)) + para + commands
    return 0x20, data1, data2


def build_topic_stream(topics):
    """The topic data as one stream (a TOPICPOS is 12 + its place in it) and
    the offset of every topic. Each topic starts a block of its own, so its
    offset is the block number times 0x8000."""
    links = []  # [position, type, data1, data2, topic index]
    stream_len = 0
    starts = []
    for i, t in enumerate(topics):
        stream_len = -(-stream_len // BLOCK_DATA) * BLOCK_DATA
        starts.append(stream_len)
        records = [(2, None, encode(t.title) + b"\0"), text_record(1, [t.title], 4),
                   text_record(0, t.paragraphs, 6)]
        for rtype, d1, d2 in records:
            d1 = d1 if d1 is not None else b"\0" * 28  # topic header, filled below
            links.append([stream_len, rtype, d1, d2, i])
            stream_len += 21 + len(d1) + len(d2)

    def pos(p):
        return p + 12

    stream = bytearray(-(-stream_len // BLOCK_DATA) * BLOCK_DATA)
    for k, (p, rtype, d1, d2, i) in enumerate(links):
        prev = pos(links[k - 1][0]) if k else NONE
        nxt = pos(links[k + 1][0]) if k + 1 < len(links) else NONE
        if rtype == 2:
            mine = [l for l in links if l[4] == i]
            size = sum(21 + len(l[2]) + len(l[3]) for l in mine)
            next_topic = pos(starts[i + 1]) if i + 1 < len(topics) else NONE
            d1 = struct.pack("<IIIIIII", size, NONE, NONE, i, NONE, pos(mine[1][0]), next_topic)
            links[k][2] = d1
        head = struct.pack("<IIIII", 21 + len(d1) + len(d2), len(d2), prev, nxt, 21 + len(d1)) + bytes([rtype])
        rec = head + d1 + d2
        stream[p:p + len(rec)] = rec

    # Block headers: the last link begun before the block, the first begun in
    # it, the last topic header begun before its end.
    blocks = bytearray()
    for b in range(len(stream) // BLOCK_DATA):
        lo, hi = b * BLOCK_DATA, (b + 1) * BLOCK_DATA
        before = [l[0] for l in links if l[0] < lo]
        inside = [l[0] for l in links if lo <= l[0] < hi]
        headers = [l[0] for l in links if l[1] == 2 and l[0] < hi]
        blocks += struct.pack("<III", pos(before[-1]) if before else NONE,
                              pos(inside[0]) if inside else NONE, pos(headers[-1]) if headers else NONE)
        blocks += stream[lo:hi]
    offsets = [(s // BLOCK_DATA) * 0x8000 for s in starts]
    return bytes(blocks), offsets


def btree(structure, entries, page_size, directory=False):
    """A B+ tree of one leaf page holding the packed, sorted entries."""
    body = b"".join(entries)
    if 8 + len(body) > page_size:
        raise ValueError("B+ tree entries do not fit one page")
    header = struct.pack("<HHH", 0x293B, 0x0002 | (0x0400 if directory else 0), page_size)
    header += structure.encode().ljust(16, b"\0")
    header += struct.pack("<hhhhhhI", 0, 0, 0, -1, 1, 1, len(entries))
    page = struct.pack("<HhhH", page_size - 8 - len(body), len(entries), -1, 0xFFFF) + body
    return header + page.ljust(page_size, b"\0")


def compile_help(title, topics):
    topic_data, offsets = build_topic_stream(topics)

    system = struct.pack("<HHHIH", 0x036C, 21, 1, 0, 0)
    for rtype, data in ((1, encode(title) + b"\0"), (3, struct.pack("<I", offsets[0]))):
        system += struct.pack("<HH", rtype, len(data)) + data

    faces = [b"Arial"]
    face_len = 32
    font = struct.pack("<HHHH", len(faces), 2, 8, 8 + face_len * len(faces))
    font += b"".join(f.ljust(face_len, b"\0") for f in faces)
    for attrs, half_points in ((0, 20), (1, 28)):  # body text; bold titles
        font += struct.pack("<BBBH", attrs, half_points, 3, 0) + bytes((0, 0, 0, 255, 255, 255))

    names = {}
    for t, off in zip(topics, offsets):
        h = context_hash(t.name)
        if h in names:
            raise ValueError("context names %r and %r hash alike" % (names[h][0], t.name))
        names[h] = (t.name, off)
    context = btree("L4", [struct.pack("<II", h, names[h][1]) for h in sorted(names, key=signed)], 2048)

    mapped = [(t.number, off) for t, off in zip(topics, offsets) if t.number is not None]
    ctxomap = struct.pack("<H", len(mapped)) + b"".join(struct.pack("<iI", n, off) for n, off in mapped)

    files = {"|CONTEXT": context, "|CTXOMAP": ctxomap, "|FONT": font, "|SYSTEM": system, "|TOPIC": topic_data}
    out = bytearray(16)
    where = {}
    for name in sorted(files):
        where[name] = len(out)
        out += struct.pack("<IIB", 9 + len(files[name]), len(files[name]), 4) + files[name]
    directory = btree("z4", [name.encode() + b"\0" + struct.pack("<I", where[name]) for name in sorted(files)],
                      1024, directory=True)
    dir_start = len(out)
    out += struct.pack("<IIB", 9 + len(directory), len(directory), 4) + directory
    out[0:16] = struct.pack("<IIiI", 0x00035F3F, dir_start, -1, len(out))
    return bytes(out)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as f:
        title, topics = parse(f.read())
    data = compile_help(title, topics)
    with open(sys.argv[2], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
