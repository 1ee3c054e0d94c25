#!/usr/bin/env bash
# CPU per second of movie: the kit's AVIVideo device (zyr-probe --realtime, picture in its
# window on Xvfb, sound to SDL's dummy output) beside ffplay on the same file, in one run.
#
#   bench/avi_cpu.sh MEDIA_DIR [SECONDS] [RUNS]
#
# MEDIA_DIR holds mpeg4.avi (640x480 MPEG-4) and h264.avi (1280x720 H.264), as
# ../shared/bench/make-media.sh makes them. Each player gets SECONDS of wall time from exec
# (default 20); CPU is user+sys of its process tree (GNU time), the X server's beside it.
# Needs ffplay, xvfb-run and GNU time; builds zyr-probe in Release.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
media=${1:?usage: bench/avi_cpu.sh MEDIA_DIR [SECONDS] [RUNS]}
seconds=${2:-20}
runs=${3:-3}
for tool in ffplay xvfb-run /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (apt-get install ffmpeg xvfb time)" >&2; exit 1; }
done

cmake -S "$here" -B "$here/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZYR_BUILD_TESTS=OFF -DZYR_BUILD_BENCH=ON >/dev/null
cmake --build "$here/build/bench" --target zyr-probe >/dev/null
probe="$here/build/bench/src/probe/zyr-probe"

measure() { # label command... : prints "label cpu_per_s x_cpu_per_s"
  local label=$1; shift
  local out xpid x0 x1
  xpid=$(pgrep -n Xvfb)
  x0=$(awk '{print $14+$15}' "/proc/$xpid/stat")
  local report
  report=$(mktemp)
  /usr/bin/time -o "$report" -f 'TIME %U %S' timeout -s TERM "$seconds" "$@" >/dev/null 2>&1 || true
  out=$(grep '^TIME' "$report" || echo 'TIME 0 0')
  rm -f "$report"
  x1=$(awk '{print $14+$15}' "/proc/$xpid/stat")
  awk -v l="$label" -v s="$seconds" -v hz="$(getconf CLK_TCK)" -v x="$((x1 - x0))" \
    '{printf "%s %.4f %.4f\n", l, ($2+$3)/s, x/hz/s}' <<<"$out"
}

export SDL_AUDIODRIVER=dummy SDL_RENDER_DRIVER=software
run_all() {
  for file in mpeg4.avi h264.avi; do
    for i in $(seq "$runs"); do
      measure "kit $file" "$probe" --realtime AVIVideo "$media/$file"
      measure "ffplay $file" ffplay -hide_banner -loglevel quiet -autoexit "$media/$file"
    done
  done
}
if [ "${AVI_CPU_INNER:-}" = 1 ]; then
  run_all
  exit 0
fi
AVI_CPU_INNER=1 xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$media" "$seconds" "$runs" > /tmp/avi_cpu.raw

python3 - "$runs" /tmp/avi_cpu.raw <<'PY'
import statistics, sys
runs, raw = sys.argv[1], sys.argv[2]
rows = {}
for line in open(raw):
    player, file, cpu, x = line.split()
    rows.setdefault((file, player), []).append((float(cpu), float(x)))
print(f"CPU seconds per second of movie (user+sys), median [min-max] of {runs} runs; X server's beside")
for (file, player), v in sorted(rows.items()):
    cpu = [c for c, _ in v]
    x = [xx for _, xx in v]
    print(f"{file:10} {player:7} {statistics.median(cpu):.3f} [{min(cpu):.3f}-{max(cpu):.3f}]   X {statistics.median(x):.3f}")
for file in sorted({f for f, _ in rows}):
    if (file, "kit") in rows and (file, "ffplay") in rows:
        k = statistics.median(c for c, _ in rows[(file, "kit")])
        f = statistics.median(c for c, _ in rows[(file, "ffplay")])
        print(f"{file:10} kit / ffplay = {k / f:.2f}")
PY
