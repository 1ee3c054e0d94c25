#!/usr/bin/env python3
"""after_idle: how much slower this machine runs the first work after a process has idled.

No kit code: a Python loop reads 100,000 floats scattered over 16 MB, once right after S
seconds of 1 ms sleeps (as ui_stall's probe idles before "Open" and "Play") and then twice
more at once; the thread's own CPU time of each is printed. On a machine whose caches keep
what a process touched, the three are alike.

    bench/after_idle.py [S ...]        (default: 0 2 10 0 10)

The last line is JSON: the slowest first run after each idle length, and the median of the
runs that followed at once.
"""
import json
import random
import sys
import time

data = [random.random() for _ in range(2_000_000)]
order = list(range(0, len(data), 7))
random.shuffle(order)
order = order[:100_000]


def work_ms():
    start = time.thread_time()
    total = 0.0
    for i in order:
        total += data[i]
    return (time.thread_time() - start) * 1000


figures, settled = {}, []
for idle in [float(s) for s in sys.argv[1:]] or [0, 2, 10, 0, 10]:
    end = time.perf_counter() + idle
    while time.perf_counter() < end:
        time.sleep(0.001)
    first, second, third = work_ms(), work_ms(), work_ms()
    print(f"after {idle:g} s idle: {first:.1f} ms, then {second:.1f} and {third:.1f} ms CPU")
    figures[f"after_{idle:g}s_ms"] = max(first, figures.get(f"after_{idle:g}s_ms", 0))
    settled += [second, third]
settled.sort()
figures["settled_ms"] = settled[len(settled) // 2]
print(json.dumps(figures))
