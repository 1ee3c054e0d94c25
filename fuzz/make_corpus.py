#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs into fuzz/corpus/<target>/: valid inputs and near-valid
ones (one field off, cut short, one byte too many), a few KB at most each.

Run it again after changing a target's input layout; the files are committed as it writes them.
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def clear(target):
    folder = os.path.join(CORPUS, target)
    if os.path.isdir(folder):
        for name in os.listdir(folder):
            os.remove(os.path.join(folder, name))


# --- the media control's 96-byte block ------------------------------------------------------

def control_block(width=6456, height=661, interval=1000, flags=0xFFFF):
    b = bytearray(96)
    for offset, value in ((0, 0x12344321), (4, 8), (16, 0xDEADFACE), (20, 1), (24, 64),
                          (28, 1), (32, 0)):
        struct.pack_into("<I", b, offset, value)
    struct.pack_into("<II", b, 8, width, height)
    struct.pack_into("<HH", b, 36, 1, 1)
    struct.pack_into("<I", b, 40, interval)
    b[64:80] = b"\xff" * 16
    struct.pack_into("<H", b, 80, flags)
    b[82:88] = b"\xff\xff\x00\x00\xff\xff"
    return bytes(b)


def media_control_settings():
    t = "media_control_settings"
    write(t, "valid_players", control_block())
    write(t, "valid_flags_clear", control_block(flags=0))
    write(t, "valid_interval_0", control_block(interval=0))
    write(t, "valid_interval_max", control_block(interval=0x7FFF, width=0, height=0xFFFFFFFF))
    write(t, "interval_too_large", control_block(interval=0x8000))
    write(t, "flags_other", control_block(flags=0x0001))
    bad = bytearray(control_block())
    bad[0] ^= 1
    write(t, "bad_signature", bytes(bad))
    bad = bytearray(control_block())
    bad[50] = 1
    write(t, "bad_padding", bytes(bad))
    write(t, "short", control_block()[:95])
    write(t, "long", control_block() + b"\0")
    write(t, "empty", b"")


def persisted_block():
    t = "persisted_block"
    # Eight reads of (kind, offset pick, offset, count pick, count, value), then the block.
    reads = bytes([0, 3, 0, 3, 4, 0, 1, 3, 80, 3, 2, 0, 2, 3, 82, 3, 6, 0, 3, 3, 64, 3, 16, 0xFF,
                   3, 3, 44, 3, 20, 0, 0, 0, 5, 3, 0, 0, 1, 1, 7, 2, 3, 0, 2, 2, 9, 0, 20, 0])
    write(t, "control_block", reads + control_block())
    write(t, "dialog_block", reads + dialog_block())
    write(t, "tiny_block", reads + b"\x01\x02\x03")


# --- the file-open dialog's 76-byte block ---------------------------------------------------

def dialog_block():
    b = bytearray(76)
    struct.pack_into("<IIII", b, 0, 0x12344321, 8, 847, 847)
    b[16:20] = b"\x86\x3c\x04\xf9"
    b[20:24] = b"\x00\x00\x05\x00"
    struct.pack_into("<I", b, 28, 32)
    struct.pack_into("<II", b, 40, 1, 260)
    b[64:68] = b"\x00\x00\x00\x41"
    return bytes(b)


def file_dialog_block():
    t = "file_dialog_block"
    write(t, "valid", dialog_block())
    # The first byte is where the rest is laid over the design block (76: after it, no change).
    write(t, "overlay_none", bytes([76]) + b"")
    write(t, "overlay_extent", bytes([8]) + struct.pack("<I", 848))
    write(t, "overlay_tail", bytes([64]) + b"\x00\x00\x00\x42")
    bad = bytearray(dialog_block())
    bad[44] = 4
    write(t, "bad_max_length", bytes(bad))
    write(t, "short", dialog_block()[:75])


# --- the dialog's filter string -------------------------------------------------------------

def file_filter():
    t = "file_filter"
    utf8 = b"\x00"
    write(t, "players", utf8 + b"Wave Files (*.wav)|*.wav|All Files (*.*)|*.*")
    write(t, "several_patterns", utf8 + b"Media|*.wav; *.mid;*.AVI ;;|Text|*.txt")
    write(t, "trailing_bar", utf8 + b"Sounds|*.wav|")
    write(t, "description_only", utf8 + b"Everything")
    write(t, "empty_patterns", utf8 + b"A||B| ; |C")
    write(t, "blank_between_separators", utf8 + b"A+| ; ; |C")  # found by the fuzzer
    write(t, "wildcards", utf8 + b"Odd|[a-|Q|a?c*.[ch]|Dots|*.")
    write(t, "bars_only", utf8 + b"||||")
    write(t, "utf16", b"\x01" + "Mus\u00efque|*.mid".encode("utf-16-le"))
    write(t, "latin1", b"\x02" + "Vid\u00e9o|*.avi".encode("latin-1"))
    write(t, "with_file_name",
          utf8 + b"Wave|*.wav|Any|*|" + b"x" * 40 + b"folder/Sound.WAV" + b" " * 16)


# --- MIDI files -------------------------------------------------------------------------------

def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, 0x80 | (n & 0x7F))
        n >>= 7
    return bytes(out)


def chunk(kind, body):
    return kind + struct.pack(">I", len(body)) + body


def midi(fmt, tracks, division=480, count=None):
    header = chunk(b"MThd", struct.pack(">HHH", fmt, len(tracks) if count is None else count,
                                        division))
    return header + b"".join(chunk(b"MTrk", t) for t in tracks)


def midi_file_reader():
    t = "midi_file_reader"
    tempo = vlq(0) + b"\xff\x51\x03\x07\xa1\x20"
    end = vlq(0) + b"\xff\x2f\x00"
    notes = (vlq(0) + b"\xc0\x00" + vlq(0) + b"\x90\x3c\x64" + vlq(480) + b"\x3c\x00" +
             vlq(0) + b"\xb0\x07\x64" + vlq(10) + b"\xe0\x00\x40" + vlq(0) + b"\xd0\x20" +
             vlq(0) + b"\xa0\x3c\x10")
    sysex = vlq(0) + b"\xf0" + vlq(5) + b"\x7e\x7f\x09\x01\xf7" + vlq(1) + b"\xf7\x02\xf3\x01"
    write(t, "format0", midi(0, [tempo + notes + end]))
    write(t, "format1", midi(1, [tempo + vlq(960) + b"\xff\x51\x03\x03\xd0\x90" + end,
                                 notes + sysex + end, notes + end]))
    write(t, "smpte_2997", midi(1, [notes + end], division=0xE350))
    write(t, "smpte_25", midi(0, [notes + vlq(100000) + b"\xff\x2f\x00"], division=0xE728))
    write(t, "no_end_of_track", midi(0, [notes]))
    write(t, "foreign_chunk", chunk(b"MThd", struct.pack(">HHH", 1, 2, 96)) +
          chunk(b"XFIH", b"\x01\x02\x03") + chunk(b"MTrk", tempo + end) +
          chunk(b"MTrk", notes + end) + b"trailing")
    write(t, "long_header", chunk(b"MThd", struct.pack(">HHH", 0, 1, 96) + b"\x00\x00") +
          chunk(b"MTrk", notes + end))
    write(t, "format2", midi(2, [notes + end]))
    write(t, "truncated_track", midi(0, [notes + end])[:-5])
    write(t, "missing_track", midi(1, [notes + end], count=2))
    write(t, "running_status_without_status", midi(0, [vlq(0) + b"\x3c\x40" + end]))
    write(t, "long_delta", midi(0, [b"\x8f\xff\xff\xff\x7f\x90\x3c\x40" + end]))
    write(t, "tempo_many", midi(0, [b"".join(vlq(1) + b"\xff\x51\x03\x00\x00\x01"
                                             for _ in range(50)) + notes + end]))
    write(t, "empty", b"")


# --- the control and dialog script ----------------------------------------------------------

def script_command(word_index, mask=0):
    return bytes([0, word_index]) + struct.pack("<H", mask)


def media_control_script():
    t = "media_control_script"
    open_ = script_command(0)
    play, pause, stop, prev, nxt = (script_command(i) for i in (2, 3, 4, 5, 6))
    close, eject, load = script_command(1), script_command(10), script_command(11)
    drain = bytes([5])
    device = lambda length, tracks, bits: (bytes([7]) + struct.pack("<I", length) + bytes([0]) +
                                           bytes([len(tracks)]) +
                                           b"".join(struct.pack("<I", s) for s in tracks) +
                                           bytes([bits]))
    finish = bytes([6, 0])
    write(t, "open_play_finish", open_ + play + drain + finish + drain)
    write(t, "play_pause_resume_stop", open_ + play + pause + pause + play + stop + drain)
    write(t, "play_twice", open_ + play + play + drain + close + drain)
    write(t, "disc_eject_load", device(60000, [10000, 10000], 4) + open_ + play + eject + drain +
          load + play + prev + nxt + drain)
    write(t, "load_while_playing", device(60000, [1000], 4) + open_ + play + load + play + drain)
    write(t, "empty_medium", device(0, [], 0) + open_ + play + drain + prev + nxt + drain)
    write(t, "open_fails", device(100, [], 8) + open_ + play)
    write(t, "mixed_case", script_command(0, 0x5) + script_command(2, 0xF) + script_command(13) +
          script_command(14) + bytes([0, 0xF0, 3]) + b"pla")
    write(t, "buttons", open_ + bytes([4, 2, 0xFF, 4, 3, 0xFF, 4, 3, 0xFF, 4, 6, 0x00, 4, 8,
                                       0xFF]) + drain)
    write(t, "properties", bytes([2, 5, 2]) + struct.pack("<H", 0xFFF0) + bytes([2, 3, 3]) +
          struct.pack("<I", 5) + bytes([3, 6, 3, 2, 3, 0xE0]) + struct.pack("<H", 0x8000 + 37) +
          bytes([2, 0, 1, 1, 4]) + b"Play")
    write(t, "dialog", bytes([8, 1, 1, 0, 10]) + b"Wave|*.wav" + b"\x00\x00\x00" +
          bytes([8, 2, 2]) + struct.pack("<H", 7) + b"\x00\x00\x00" +
          bytes([8, 3, 2]) + struct.pack("<H", 1) + b"\x01\x05/a.wv\x00" +
          bytes([8, 3, 2]) + struct.pack("<H", 1) + b"\x00\x00\x00" +
          bytes([8, 3, 2]) + struct.pack("<H", 2) + b"\x00\x00\x00" +
          bytes([8, 0, 0, 0, 0, 1]))


# --- the CD source over a fake drive --------------------------------------------------------

def cd_audio_source():
    t = "cd_audio_source"
    # tracks: count-1, first sector, then (kind, length-1) per track; tape; open fails; ops.
    two_audio = bytes([1, 0, 1, 10, 1, 20])
    with_data = bytes([3, 150, 1, 5, 0, 30, 1, 2, 1, 0])
    read = lambda n: bytes([0]) + struct.pack("<H", n)
    seek = lambda f: bytes([2]) + struct.pack("<i", f)
    fmt = lambda rate44100, channels: (bytes([3, 1]) if rate44100 else
                                       bytes([3, 0]) + struct.pack("<I", 48000)) + bytes([channels])
    write(t, "read_through", two_audio + bytes([0, 0]) + read(5000) * 8)
    write(t, "data_tracks_seek", with_data + bytes([0, 0]) + read(100) + seek(588 * 6 - 3) +
          read(10) + seek(-5) + read(600) + seek(10 ** 6) + read(10))
    write(t, "faults", two_audio + bytes([6, 4, 12, 5, 5, 6, 7, 0]) + read(4000) * 6 + seek(0) +
          read(4000))
    write(t, "silence_run", bytes([0, 0, 1, 40]) + bytes([20]) + bytes([5] * 20) + bytes([0]) +
          read(5000) * 6)
    write(t, "formats", two_audio + bytes([0, 0]) + fmt(True, 1) + read(700) + fmt(True, 6) +
          read(700) + fmt(False, 2) + fmt(True, 0) + read(10))
    write(t, "open_fails", two_audio + bytes([0, 0xFF]) + read(10) + read(10))


# --- cue/bin images ---------------------------------------------------------------------------

def cue_image():
    t = "cue_image"
    # bin sectors, odd bytes, flags, then the cue sheet
    two = ('FILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n'
           '  TRACK 02 AUDIO\n    INDEX 00 00:00:20\n    INDEX 01 00:00:25\n')
    write(t, "two_tracks", bytes([40, 0, 0]) + two.encode())
    write(t, "two_tracks_paranoia", bytes([40, 0, 1 | 4 * 7]) + two.encode())
    write(t, "open_bin", bytes([40, 1, 2]) + two.encode())
    data = ('REM comment\nCATALOG 0000000000000\nFILE "x.bin" BINARY\n'
            '  TRACK 01 AUDIO\n    FLAGS DCP\n    ISRC ABCDE1234567\n    INDEX 01 00:00:00\n'
            '  TRACK 02 MODE1/2352\n    PREGAP 00:00:02\n    INDEX 01 00:00:30\n'
            '  TRACK 03 AUDIO\n    TITLE "x"\n    PERFORMER "y"\n    INDEX 01 00:00:40\n'
            '    POSTGAP 00:00:01\n')
    write(t, "data_track", bytes([60, 0, 0]) + data.encode())
    write(t, "bin_too_short", bytes([10, 0, 0]) + two.encode())
    write(t, "no_tracks", bytes([10, 0, 0]) + b'FILE "disc.bin" BINARY\n')
    write(t, "data_only", bytes([10, 0, 0]) +
          b'FILE "disc.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n')
    write(t, "bad_index", bytes([10, 0, 0]) +
          b'FILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:99:99\n')


def main():
    targets = {
        "media_control_settings": media_control_settings,
        "persisted_block": persisted_block,
        "file_dialog_block": file_dialog_block,
        "file_filter": file_filter,
        "midi_file_reader": midi_file_reader,
        "media_control_script": media_control_script,
        "cd_audio_source": cd_audio_source,
        "cue_image": cue_image,
    }
    for name in sys.argv[1:] or targets:
        clear(name)
        targets[name]()


if __name__ == "__main__":
    main()
