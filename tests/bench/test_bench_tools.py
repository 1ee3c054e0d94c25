#!/usr/bin/env python3
"""The benchmark's own tools: that bench_table.py judges each goal on the figures it names, and
that loop_midi.py cuts and repeats a MIDI file as it says. Standard library only."""
import os
import struct
import subprocess
import sys
import tempfile
import unittest

BENCH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench")
sys.path.insert(0, BENCH)
import loop_midi  # noqa: E402


def table(records):
    """The rows bench_table.py prints for RECORDS (section, row, subject, run, metric, value),
    by measurement name: a list of their columns, one list per row of that name."""
    with tempfile.NamedTemporaryFile("w", suffix=".tsv", delete=False) as f:
        f.write("section\trow\tsubject\trun\tmetric\tvalue\n")
        for r in records:
            f.write("\t".join(str(c) for c in r) + "\n")
    try:
        out = subprocess.run([sys.executable, os.path.join(BENCH, "bench_table.py"), f.name],
                             check=True, capture_output=True, text=True).stdout
    finally:
        os.unlink(f.name)
    rows = {}
    for line in out.splitlines()[3:]:
        cols = [c for c in line.split("  ") if c.strip()]
        rows.setdefault(cols[0].strip(), []).append([c.strip() for c in cols[1:]])
    return rows


class BenchTable(unittest.TestCase):
    def test_throughput_is_judged_on_whole_processes(self):
        # zyr-probe's own account would pass (1.9 / 1.0); the whole process does not (1.9 / 2.2).
        rows = table([("decode", "h264", "kit", 1, "cpu_s", 2.2),
                      ("decode", "h264", "kit", 1, "probe_cpu_s", 1.0),
                      ("decode", "h264", "ffmpeg", 1, "cpu_s", 1.9)])
        row = rows["h264 decode-only CPU s"][0]
        self.assertEqual(row[2:4], ["0.86", ">= 0.9"])
        self.assertEqual(row[4], "NO")
        self.assertIn("zyr-probe's own 1.00 s", row[5])

    def test_play_is_judged_when_the_output_takes_the_frames(self):
        rows = table([("playlat", "wav", "kit", 1, f"play_to_first_write_ms_{s}", 1.0)
                      for s in ("median", "min", "max")] +
                     [("playlat", "wav", "kit", 1, "play_to_first_played_ms_median", 12.0),
                      ("playlat", "wav", "kit", 1, "play_to_first_played_ms_min", 2.0),
                      ("playlat", "wav", "kit", 1, "play_to_first_played_ms_max", 30.0)])
        row = rows["Play wav -> first frames taken by the output ms"][0]
        self.assertEqual(row[0], "12.0 [2.0-30.0]")
        self.assertEqual(row[4], "median only")

    def test_kit_rows_need_sound_in_every_run(self):
        def kit(playing):
            return [("kitplay", "wav", "kit", r, m, v) for r, p in enumerate(playing, 1)
                    for m, v in (("cpu_s", 0.1), ("rc", 124), ("playing", p))] + \
                   [("kitplay", "wav", "ffplay", 1, "cpu_s", 0.3)]
        row = table(kit([1, 0]))["zyr-kit WAV play CPU s"][0]
        self.assertEqual(row[0], "n/a")
        self.assertIn("played in 1 of 2 runs", row[-1])
        row = table(kit([1, 1]))["zyr-kit WAV play CPU s"][0]
        self.assertEqual(row[2:5], ["0.33", "<= 0.6", "yes"])

    def test_an_hour_against_a_minute(self):
        def long(row, one, hour, opens):
            return [("long", row, n, 1, m, v) for n, rss in (("1min", one), ("60min", hour))
                    for m, v in (("cpu_s", 1.0), ("played_s", 10), ("maxrss_kb", rss * 1024),
                                 ("rc", 124))] + \
                   [("longopen", row, n, 1, "open_median_ms", ms)
                    for n, ms in zip(("1min", "60min"), opens)]
        rows = table(long("midi", 65, 70, (0.2, 1.1)) + long("movie", 66, 77, (5.0, 50.0)))
        self.assertEqual(rows["midi 60 min vs 1 min: peak RSS MiB"][0][4], "yes")
        self.assertEqual(rows["midi 60 min vs 1 min: Open ms"][0][4], "yes")  # 0.9 ms more
        self.assertEqual(rows["movie 60 min vs 1 min: peak RSS MiB"][0][4], "NO")  # +11 MiB
        self.assertEqual(rows["movie 60 min vs 1 min: Open ms"][0][4], "NO")
        self.assertEqual(rows["movie 60 min vs 1 min: CPU s per minute playing"][0][0], "6.00")

    def test_failed_runs_are_left_out(self):
        rows = table([("play", "wav", "kit", 1, "cpu_s", 0.1), ("play", "wav", "kit", 1, "rc", 0),
                      ("play", "wav", "kit", 2, "cpu_s", 9.0), ("play", "wav", "kit", 2, "rc", 137),
                      ("play", "wav", "ffplay", 1, "cpu_s", 0.4)])
        self.assertEqual(rows["WAV play CPU s"][0][0], "0.10")


class LoopMidi(unittest.TestCase):
    def test_cut_and_repeated(self):
        # 120 beats a minute at 480 ticks a beat: a second is 960 ticks. One note sounds across
        # the cut at 1 s, one starts after it; a tempo change to 60 beats a minute at 0.5 s
        # makes the cut fall at tick 480 + 240.
        def track(body):
            return b"MTrk" + struct.pack(">I", len(body)) + body
        conductor = track(bytes([0x00, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20,
                                 0x83, 0x60, 0xFF, 0x51, 3, 0x0F, 0x42, 0x40, 0x00, 0xFF, 0x2F, 0]))
        notes = track(bytes([0x00, 0x90, 60, 100, 0x87, 0x40, 0x80, 60, 0,  # ticks 0 to 960
                             0x00, 0x90, 62, 100, 0x10, 0x80, 62, 0, 0x00, 0xFF, 0x2F, 0]))
        with tempfile.TemporaryDirectory() as d:
            src, dst = os.path.join(d, "in.mid"), os.path.join(d, "out.mid")
            with open(src, "wb") as f:
                f.write(b"MThd" + struct.pack(">IHHH", 6, 1, 2, 480) + conductor + notes)
            subprocess.run([sys.executable, os.path.join(BENCH, "loop_midi.py"), src, dst, "1",
                            "3"], check=True)
            with open(dst, "rb") as f:
                division, tracks = loop_midi.read_tracks(f.read())
        self.assertEqual(division, 480)
        cut = 720
        self.assertEqual([(t, e[0] & 0xF0, e[1]) for t, e in tracks[1]],
                         [(k * cut + t, kind, 60) for k in range(3)
                          for t, kind in ((0, 0x90), (cut, 0x80))])
        self.assertEqual([t for t, _ in tracks[0]], [k * cut + t for k in range(3) for t in (0, 480)])


if __name__ == "__main__":
    unittest.main()
