#!/usr/bin/env python3
"""Compiles the help source (res/help/KEVRAN.txt) into a Windows 3.1 help file.

Usage: make-help.py SOURCE OUTPUT

Source format: "title: TEXT" gives the help file's title; "== NAME [NUMBER] : TITLE"
starts a topic with context name NAME, optional context number NUMBER (what
WinHelp's HELP_CONTEXT asks for) and TITLE; the lines that follow are its text,
paragraphs separated by blank lines. Lines starting with "#" are comments. The
first topic is the contents topic.

The file is a container of internal files found through a B+ tree directory:
|SYSTEM (title, contents topic), |FONT, |TOPIC (4 KB topic blocks),
|CONTEXT (context name hashes) and |CTXOMAP (context numbers)."""
import re
import struct
import sys

BLOCK = 4096  # topic block size
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


def literals(data):
    """LZ77 data that holds only literals: a zero flag byte before every eight."""
    out = bytearray()
    for i in range(0, len(data), 8):
        out += b"\0" + data[i:i + 8]
    return bytes(out)


def build_topics(topics):
    """|TOPIC: one topic block per topic, and the offset of every topic.

    The blocks are flagged LZ77-compressed, so that a TOPICPOS counts 16 KB per
    block whichever way a reader computes it, and hold only literals. A topic
    at the start of its block has the offset block number times 0x8000."""
    def pos(block, off):
        return 12 + block * 0x4000 + off

    data = bytearray()
    last_link = NONE
    for i, t in enumerate(topics):
        title = encode(t.title) + b"\0"
        records = [(2, b"\0" * 28, title), text_record(1, [t.title], 4), text_record(0, t.paragraphs, 12)]
        offs, off = [], 0
        for _, d1, d2 in records:
            offs.append(off)
            off += 21 + len(d1) + len(d2)
        next_topic = pos(i + 1, 0) if i + 1 < len(topics) else NONE
        # Topic header: size, no browse sequence, number, no non-scrolling region.
        records[0] = (2, struct.pack("<IIIIIII", off, NONE, NONE, i, NONE, pos(i, offs[1]), next_topic), title)
        block = bytearray(struct.pack("<III", last_link, pos(i, 0), pos(i, 0)))
        plain = bytearray()
        for k, (rtype, d1, d2) in enumerate(records):
            prev = pos(i, offs[k - 1]) if k else last_link
            nxt = pos(i, offs[k + 1]) if k + 1 < len(records) else next_topic
            plain += struct.pack("<IIIII", 21 + len(d1) + len(d2), len(d2), prev, nxt, 21 + len(d1))
            plain += bytes([rtype]) + d1 + d2
        last_link = pos(i, offs[-1])
        block += literals(bytes(plain))
        if len(block) > BLOCK:
            raise ValueError("topic %r is too long for one topic block" % t.name)
        data += block.ljust(BLOCK, b"\0")
    return bytes(data), [i * 0x8000 for i in range(len(topics))]


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
    topic_data, offsets = build_topics(topics)

    system = struct.pack("<HHHIH", 0x036C, 21, 1, 0, 4)  # LZ77 topic blocks of 4 KB
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
