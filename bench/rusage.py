#!/usr/bin/env python3
"""Run a command and write what it used, like GNU time -f '%e %U %S %M', to microseconds.

Usage: rusage.py OUT CMD [ARG...]

Writes one line to OUT: wall seconds, user and system CPU seconds of the command and every
process it waited for, and the peak resident set of the largest of them in KiB (never below
the interpreter's own, about 10 MiB, which the command's process held until its exec). Exits
with the command's status (128 + N when a signal N ended it). GNU time rounds CPU to 10 ms, a
twentieth of a short sound's whole run; this keeps what the kernel reports.
"""
import os
import resource
import sys
import time


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__.strip().splitlines()[2])
    out, cmd = sys.argv[1], sys.argv[2:]
    # What children used before, which getrusage() counts too: a launcher that ran programs
    # of its own before it started this interpreter leaves their time here.
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    pid = os.fork()
    if pid == 0:
        try:
            os.execvp(cmd[0], cmd)
        finally:
            os._exit(127)
    _, status = os.waitpid(pid, 0)
    wall = time.monotonic() - start
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    user = used.ru_utime - before.ru_utime
    system = used.ru_stime - before.ru_stime
    with open(out, "w") as f:
        f.write(f"{wall:.3f} {user:.6f} {system:.6f} {used.ru_maxrss}\n")
    code = os.waitstatus_to_exitcode(status)
    sys.exit(code if code >= 0 else 128 - code)


if __name__ == "__main__":
    main()
