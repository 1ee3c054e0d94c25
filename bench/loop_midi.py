#!/usr/bin/env python3
"""Cut a Standard MIDI File to a length, then repeat the cut piece.

Usage: loop_midi.py IN.mid OUT.mid SECONDS [TIMES]

Takes the first SECONDS of IN.mid (ticks per quarter division; the tempo map of all tracks
applies), ends the notes still sounding there, ends every track exactly at that point, and writes
the piece TIMES times in a row (1 by default), each repetition with its own tempo changes and
controllers, as a format 1 file. So a piece of 60 s repeated 60 times plays for exactly an hour
and every minute of it sounds alike. Standard library only; for the benchmark's long media.
"""
import struct
import sys


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def read_vlq(data, at):
    n = 0
    while True:
        b = data[at]
        at += 1
        n = (n << 7) | (b & 0x7F)
        if not b & 0x80:
            return n, at


def read_tracks(data):
    """The division and, per track, a list of (tick, event bytes with their status)."""
    if data[:4] != b"MThd":
        sys.exit("not a MIDI file")
    hlen, _fmt, ntracks, division = struct.unpack(">IHHH", data[4:14])
    if division & 0x8000:
        sys.exit("SMPTE divisions are not supported")
    at = 8 + hlen
    tracks = []
    while len(tracks) < ntracks and at + 8 <= len(data):
        cid, clen = struct.unpack(">4sI", data[at:at + 8])
        body, at = data[at + 8:at + 8 + clen], at + 8 + clen
        if cid != b"MTrk":
            continue
        events, pos, tick, running = [], 0, 0, None
        while pos < len(body):
            delta, pos = read_vlq(body, pos)
            tick += delta
            status = body[pos]
            if status & 0x80:
                pos += 1
            else:
                status = running
            if status == 0xFF:
                kind = body[pos]
                length, p = read_vlq(body, pos + 1)
                if kind == 0x2F:
                    break
                events.append((tick, bytes([0xFF, kind]) + vlq(length) + body[p:p + length]))
                pos = p + length
                running = None
            elif status in (0xF0, 0xF7):
                length, p = read_vlq(body, pos)
                events.append((tick, bytes([status]) + vlq(length) + body[p:p + length]))
                pos = p + length
                running = None
            else:
                size = 1 if status & 0xF0 in (0xC0, 0xD0) else 2
                events.append((tick, bytes([status]) + body[pos:pos + size]))
                pos += size
                running = status
        tracks.append(events)
    return division, tracks


def tick_at(seconds, division, tracks):
    """The first tick at or after SECONDS, through the tempo map of all tracks."""
    tempos = sorted((t, int.from_bytes(e[3:6], "big")) for tr in tracks for t, e in tr
                    if e[:2] == b"\xFF\x51")
    target_us = seconds * 1_000_000
    tick, us, per_quarter = 0, 0.0, 500_000
    for at, tempo in tempos:
        span = (at - tick) * per_quarter / division
        if us + span >= target_us:
            break
        us += span
        tick, per_quarter = at, tempo
    return tick + int(-(-(target_us - us) * division // per_quarter))


def cut(track, end):
    """Events before END, then a note-off at END for every note still sounding."""
    kept, sounding = [], set()
    for tick, e in track:
        if tick >= end:
            break
        kept.append((tick, e))
        kind, channel = e[0] & 0xF0, e[0] & 0x0F
        if kind == 0x90 and e[2] > 0:
            sounding.add((channel, e[1]))
        elif kind in (0x80, 0x90):
            sounding.discard((channel, e[1]))
    kept += [(end, bytes([0x80 | ch, key, 0])) for ch, key in sorted(sounding)]
    return kept


def encode(events, end):
    body, last = b"", 0
    for tick, e in events:
        body += vlq(tick - last) + e
        last = tick
    body += vlq(end - last) + b"\xFF\x2F\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + body


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__.strip().splitlines()[2])
    src, dst, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
    times = int(sys.argv[4]) if len(sys.argv) == 5 else 1
    with open(src, "rb") as f:
        division, tracks = read_tracks(f.read())
    end = tick_at(seconds, division, tracks)
    pieces = [cut(t, end) for t in tracks]
    out = b"MThd" + struct.pack(">IHHH", 6, 1, len(pieces), division)
    for piece in pieces:
        out += encode([(tick + k * end, e) for k in range(times) for tick, e in piece],
                      times * end)
    with open(dst, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
