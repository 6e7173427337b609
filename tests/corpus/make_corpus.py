#!/usr/bin/env python3
"""Writes the damaged-MIDI corpus: one folder per defect, small files of our own.

Run from this folder: python3 make_corpus.py
"""
import os
import struct


def chunk(cid, body, declared=None):
    return cid + struct.pack(">I", len(body) if declared is None else declared) + body


def header(fmt=1, tracks=1, division=96):
    return chunk(b"MThd", struct.pack(">HHH", fmt, tracks, division))


TEMPO = b"\x00\xff\x51\x03\x07\xa1\x20"
NOTES = b"\x00\xc0\x05\x00\x90\x3c\x64\x60\x3c\x00\x00\x3e\x64\x60\x3e\x00"
END = b"\x00\xff\x2f\x00"
GOOD = chunk(b"MTrk", TEMPO + NOTES + END)


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


whole = header(1, 2) + GOOD + chunk(b"MTrk", NOTES + END)
second = len(header(1, 2) + GOOD) + 8
write("truncated-in-delta", "cut-in-two-byte-delta.mid", header(1, 2) + GOOD + chunk(b"MTrk", b"\x00\x90\x3c\x64\x83", 20))
write("truncated-in-status", "cut-before-status.mid", whole[: second + 4])
write("truncated-in-body", "cut-in-note.mid", whole[: second + 6])
write("truncated-in-body", "cut-in-text.mid", header(1, 1) + chunk(b"MTrk", b"\x00\xff\x01\x20abc", 40))
write("truncated-in-header", "cut-in-header.mid", header(1, 1)[:11])
write("unknown-chunk", "chunk-before-tracks.mid", header(1, 2) + chunk(b"XFIH", b"\x01\x02\x03") + GOOD)
write("unknown-chunk", "chunk-between-tracks.mid", header(1, 3) + GOOD + chunk(b"junk", b"") + GOOD)
write("length-beyond-file", "track-length.mid", header(1, 1) + chunk(b"MTrk", TEMPO + NOTES, 0x7FFFFFFF))
write("length-beyond-file", "header-length.mid", chunk(b"MThd", struct.pack(">HHH", 1, 1, 96), 0xFFFFFFF0) + GOOD)
write("length-beyond-file", "meta-length.mid", header(1, 1) + chunk(b"MTrk", TEMPO + b"\x00\xff\x01\xff\xff\xff\x7fxyz"))
write("length-beyond-file", "sysex-length.mid", header(1, 1) + chunk(b"MTrk", b"\x00\xf0\xff\xff\xff\x7f\x01"))
write("data-byte-first", "no-first-status.mid", header(0, 1) + chunk(b"MTrk", b"\x00\x3c\x64" + NOTES + END))
write("varlen-0FFFFFFF", "huge-deltas.mid", header(0, 1) + chunk(b"MTrk", TEMPO + b"\xff\xff\xff\x7f\x90\x3c\x64\xff\xff\xff\x7f\x3c\x00" + END))
write("varlen-0FFFFFFF", "five-byte-varlen.mid", header(0, 1) + chunk(b"MTrk", b"\xff\xff\xff\xff\x7f\x90\x3c\x64" + END))
write("300-tracks", "300-tracks.mid", header(1, 300) + GOOD * 300)
write("division-0", "division-0.mid", header(1, 1, 0) + GOOD)
write("division-7", "division-7.mid", header(1, 1, 7) + GOOD)
write("not-midi", "riff.mid", b"RIFF\x00\x00\x00\x00WAVEfmt ")
write("not-midi", "empty.mid", b"")
