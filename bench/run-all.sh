#!/usr/bin/env bash
# run-all.sh — the kit beside ordinary players, in one run, and one table of ratios.
#
#   bench/run-all.sh [--runs N] [--seconds S] [--quick] [--only REGEX] [--media DIR]
#                    [--out DIR] [--shared DIR] [--no-install] [--no-build]
#
# Steps:
#   install  the kit's packages (scripts/deps.sh), then the peers this script measures
#            (mpv, VLC, FluidSynth, FFmpeg's tools, Xvfb, sox): benchmarks only, so
#            they are installed here and not by scripts/deps.sh. --no-install skips it.
#   build    a Release build with -DZYR_BUILD_BENCH=ON in build/bench (the kit, zyr-probe and
#            the bench programs) and qt-floor, the quickest Qt 6 Widgets window. --no-build
#            skips it.
#   media    make-media.sh from the shared bench folder into build/bench/media (or --media),
#            once, and beside it two full-HD movies (make_full_hd_movies below); the files are
#            reused while all of them are there. For the section long, bench/make-long-media.sh
#            adds a minute and an hour of each kind (about 2 GB).
#   measure  sections (--only takes a regular expression over their names):
#     start       exec -> main menu mapped on Xvfb, beside qt-floor, mpv idle and VLC's GUI
#                 (run-peers.sh's method, the four taking turns in each run)
#     play        S seconds of real time from exec (default 20): CPU, peak RSS and the X
#                 server's CPU; zyr-probe --realtime with SDL's dummy audio beside ffplay
#                 -nodisp (WAV), fluidsynth -a sdl2 on the same SoundFont (MIDI), and mpv
#                 --vo=x11, VLC xcb_x11 and ffplay (the three movies, pictures on Xvfb; the
#                 kit's pictures shown and dropped beside), VLC alone for the full-HD movies,
#                 and the 720p movie in a 1920x1080 window (the kit's --maximized, VLC zoomed
#                 1.5 times)
#     throughput  zyr-probe --decode-only beside ffmpeg -an -f null; zyr-probe --render-only
#                 beside fluidsynth -F
#     latency     "Open" per device type, "Play" to the first frames the output took, and the
#                 longest stall of the UI thread while a medium plays in its player window
#     memory      the kit with its four player windows open (VmRSS, VmHWM)
#     long        a minute against an hour of the same WAV, MIDI and movie: S seconds of
#                 playing from each (CPU per minute of playing, peak RSS) and "Open"
#     kit         zyr-kit FILE, the kit itself with its windows on Xvfb, playing the WAV and
#                 the MIDI file beside ffplay -nodisp and fluidsynth -a sdl2; n/a while
#                 zyr-kit does not play a medium given on its command line
#   Kit and peer runs alternate within each row, so they share whatever load the machine has.
#   CPU and peak RSS are always the whole process's, from exec to its end (bench/rusage.py);
#   what zyr-probe reports of itself (its own CPU and wall time once started) is recorded
#   beside, under names of its own (probe_*), and judges nothing.
#
# Options: --runs N runs per measurement (3; start-up takes 4 N, at least 8); --seconds S the
# playing time (20); --quick one run of 10 s each. Results go to OUT (build/bench/results):
# raw.tsv (every sample), table.txt (the table, with the load and the machine).
# The shared bench folder (make-media.sh, qt-floor.cpp) is --shared, else
# $ZYR_BENCH_SHARED, else ../shared/bench or ../../shared/bench beside the repository.
set -uo pipefail
# The whole script is one block, read before it runs: editing the file meanwhile is harmless.
{

repo=$(cd "$(dirname "$0")/.." && pwd)
runs=3 play_s=20 only=. install=1 build=1
media= out= shared=${ZYR_BENCH_SHARED:-}
while (($#)); do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --seconds) play_s=$2; shift 2 ;;
    --quick) runs=1 play_s=10; shift ;;
    --only) only=$2; shift 2 ;;
    --media) media=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --shared) shared=$2; shift 2 ;;
    --no-install) install=0; shift ;;
    --no-build) build=0; shift ;;
    -h|--help) sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown option: $1 (see --help)" >&2; exit 2 ;;
  esac
done
if [[ -z $shared ]]; then
  for d in "$repo/../shared/bench" "$repo/../../shared/bench"; do
    [[ -f $d/make-media.sh ]] && { shared=$d; break; }
  done
fi
[[ -n $shared && -f $shared/make-media.sh ]] || {
  echo "no shared bench folder with make-media.sh: give --shared DIR" >&2; exit 2; }
shared=$(cd "$shared" && pwd)
builddir=$repo/build/bench
media=${media:-$builddir/media}
out=${out:-$builddir/results}
mkdir -p "$out"
out=$(cd "$out" && pwd)
want() { [[ $1 =~ $only ]]; }
log() { printf '[%s] %s\n' "$(date +%T)" "$*" >&2; }

# --- install -------------------------------------------------------------------------------
peers=(ffmpeg mpv vlc-bin vlc-plugin-base vlc-plugin-video-output vlc-plugin-qt fluidsynth
       timgm6mb-soundfont xvfb x11-utils sox python3 util-linux coreutils procps)
if ((install)); then
  "$repo/scripts/deps.sh" || exit 1
  missing=()
  for p in "${peers[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if ((${#missing[@]})); then
    sudo=; [[ $(id -u) != 0 ]] && sudo=sudo
    log "installing the peers: ${missing[*]}"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
      $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" || exit 1
  fi
fi

# --- build ---------------------------------------------------------------------------------
kit=$builddir/src/app/zyr-kit
probe=$builddir/src/probe/zyr-probe
benchbin=$builddir/bench
qtfloor=$builddir/qt-floor
if ((build)); then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$repo")}
  log "building the kit (Release, bench programs) in $builddir"
  cmake -S "$repo" -B "$builddir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZYR_BUILD_TESTS=OFF \
    -DZYR_BUILD_BENCH=ON "${launcher[@]}" >"$out/cmake.log" 2>&1 &&
    cmake --build "$builddir" -j 2 --target zyr-kit zyr-probe open_latency play_latency \
      ui_stall kit_memory >"$out/build.log" 2>&1 || { tail -30 "$out/build.log" >&2; exit 1; }
  if [[ ! -x $qtfloor || $shared/qt-floor.cpp -nt $qtfloor ]]; then
    # shellcheck disable=SC2046
    g++ -O2 -fPIC "$shared/qt-floor.cpp" -o "$qtfloor" $(pkg-config --cflags --libs Qt6Widgets) || exit 1
  fi
fi
for f in "$kit" "$probe" "$qtfloor" "$benchbin"/{open_latency,play_latency,ui_stall,kit_memory}; do
  [[ -x $f ]] || { echo "missing $f: build first (without --no-build)" >&2; exit 2; }
done

# --- media ---------------------------------------------------------------------------------
files=(music.wav mpeg4.avi mjpeg.avi h264.avi song.mid)
for f in "${files[@]}"; do
  if [[ ! -s $media/$f ]]; then
    log "making the media in $media (about 75 s)"
    "$shared/make-media.sh" "$media" >"$out/media.log" 2>&1 || { cat "$out/media.log" >&2; exit 1; }
    break
  fi
done
if want long; then
  log "making the hour-long media in $media if missing (about 2 GB, 15 s)"
  "$repo/bench/make-long-media.sh" "$media" >"$out/long-media.log" 2>&1 ||
    { cat "$out/long-media.log" >&2; exit 1; }
fi
media=$(cd "$media" && pwd)

# Full-HD movies: 30 s of 1920x1080 at 25 fps, the same test picture and seeded noise as
# make-media.sh's movies and the first 30 s of music.wav as PCM; MPEG-4 Visual (XVID,
# 6 Mbit/s, no B-frames) and H.264 High (x264 medium, 8 Mbit/s ABR, B-frames), with the
# same fixed thread count and bitexact flags, so the same packages give the same bytes.
make_full_hd_movies() {  # DIR
  local dir=$1 pic
  local bx=(-fflags +bitexact -flags:v +bitexact -flags:a +bitexact)
  pic="testsrc2=size=1920x1080:rate=25:duration=30,noise=alls=6:allf=t:all_seed=42"
  if [[ ! -s $dir/mpeg4_1080.avi ]]; then
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i "$pic" -i "$dir/music.wav" -map 0:v \
      -map 1:a -t 30 -c:v mpeg4 -vtag XVID -b:v 6000k -g 250 -threads 2 -pix_fmt yuv420p \
      -c:a pcm_s16le "${bx[@]}" "$dir/mpeg4_1080.avi" || return 1
  fi
  # The encoders' list is read whole: grep -q would end the pipe early, and with pipefail
  # ffmpeg's SIGPIPE would read as no libx264.
  if [[ ! -s $dir/h264_1080.avi && $(ffmpeg -hide_banner -encoders 2>/dev/null) == *' libx264 '* ]]; then
    ffmpeg -hide_banner -loglevel error -y -f lavfi -i "$pic" -i "$dir/music.wav" -map 0:v \
      -map 1:a -t 30 -c:v libx264 -preset medium -b:v 8000k -g 250 -threads 2 \
      -pix_fmt yuv420p -c:a pcm_s16le "${bx[@]}" "$dir/h264_1080.avi" || return 1
  fi
}
if [[ ! -s $media/mpeg4_1080.avi || ! -s $media/h264_1080.avi ]]; then
  log "making the full-HD movies in $media (about 2 min)"
  make_full_hd_movies "$media" >>"$out/media.log" 2>&1 || { cat "$out/media.log" >&2; exit 1; }
fi
W=$media/music.wav M=$media/song.mid
AVIS=()
for a in mpeg4 mjpeg h264 mpeg4_1080 h264_1080; do [[ -f $media/$a.avi ]] && AVIS+=("$a"); done
SF=/usr/share/sounds/sf2/default-GM.sf2

for c in Xvfb xev stdbuf ffmpeg ffplay python3; do
  command -v "$c" >/dev/null || { echo "missing: $c (run without --no-install)" >&2; exit 2; }
done

# --- a private X server, display below 10 (above, mpv's vo=x11 takes it for remote, no MIT-SHM)
tmp=$(mktemp -d)
xvfb_pid=
cleanup() {
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
for n in 5 6 7 8 9 4 3 2 1; do
  [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
  Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$n ]] && break; sleep 0.1; done
  if kill -0 "$xvfb_pid" 2>/dev/null; then export DISPLAY=:$n; break; fi
  xvfb_pid=
done
[[ -n $xvfb_pid ]] || { echo "no free display for Xvfb" >&2; exit 2; }
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
export SDL_AUDIODRIVER=dummy
hz=$(getconf CLK_TCK)
xvfb_ticks() { awk '{print $14+$15}' "/proc/$xvfb_pid/stat"; }

# VLC refuses to run as root: then it runs as nobody.
vlc_as=()
if [[ $(id -u) == 0 ]]; then
  mkdir -p "$out/vlc-home" && chown 65534:65534 "$out/vlc-home"
  vlc_as=(env HOME="$out/vlc-home" setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
VLCOPT=(--no-dbus --aout=adummy --no-video-title-show)

raw=$out/raw.tsv
printf 'section\trow\tsubject\trun\tmetric\tvalue\n' >"$raw"
rec() { printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$@" >>"$raw"; }
# Every numeric field of the JSON line in FILE as a metric of one sample, its name after PREFIX
# where one is given: a program's account of itself stays apart from what timed measured.
rec_json() {  # section row subject run file [prefix]
  python3 - "$@" >>"$raw" <<'PY'
import json, sys
section, row, subject, run, path = sys.argv[1:6]
prefix = sys.argv[6] if len(sys.argv) > 6 else ""
lines = [l for l in open(path) if l.startswith("{")]
if lines:
    for k, v in json.loads(lines[-1]).items():
        if isinstance(v, (int, float)) and not isinstance(v, bool):
            print("\t".join([section, row, subject, run, prefix + k, str(v)]))
PY
}

{
  echo "# $(date -u +%FT%TZ)  $(nproc) cores  $(awk '/MemTotal/{printf "%.0f GiB", $2/1048576}' /proc/meminfo)  $(lscpu | sed -n 's/^Model name: *//p')"
  echo "# load at start: $(cut -d' ' -f1-3 /proc/loadavg)  runs=$runs play_s=$play_s  DISPLAY=$DISPLAY"
  echo "# kit $(git -C "$repo" rev-parse --short HEAD 2>/dev/null)$(git -C "$repo" diff --quiet 2>/dev/null || echo +changes)"
  for p in ffmpeg mpv vlc-bin fluidsynth libsdl2-2.0-0 xvfb qt6-base-dev timgm6mb-soundfont; do
    dpkg-query -W -f='# ${Package} ${Version}\n' "$p" 2>/dev/null
  done
  echo "# SoundFont $(readlink -f "$SF")"
} >"$out/header.txt"
cat "$out/header.txt" >&2

# --- timed run: the whole process from exec to its end, the X server's CPU around it --------
# bench/rusage.py writes what GNU time's '%e %U %S %M' would, to the microsecond.
timed() {  # section row subject run cmd...
  local sec=$1 row=$2 who=$3 r=$4 x0 x1 e u s m rc; shift 4
  x0=$(xvfb_ticks)
  python3 "$repo/bench/rusage.py" "$tmp/time.out" "$@" >"$tmp/cmd.out" 2>&1 </dev/null
  rc=$?
  x1=$(xvfb_ticks)
  read -r e u s m < <(tail -n 1 "$tmp/time.out")
  rec "$sec" "$row" "$who" "$r" wall_s "$e"
  rec "$sec" "$row" "$who" "$r" cpu_s "$(awk -v u="$u" -v s="$s" 'BEGIN{printf "%.4f", u+s}')"
  rec "$sec" "$row" "$who" "$r" maxrss_kb "$m"
  rec "$sec" "$row" "$who" "$r" xvfb_cpu_s "$(awk -v a="$x0" -v b="$x1" -v h="$hz" 'BEGIN{printf "%.3f", (b-a)/h}')"
  rec "$sec" "$row" "$who" "$r" rc "$rc"
  [[ $rc == 0 || $rc == 124 ]] || log "  $who ($row) ended with $rc: $(tail -c 300 "$tmp/cmd.out")"
}

# --- start-up ------------------------------------------------------------------------------
# run-peers.sh's method: the time from just before exec to the first MapNotify of a window
# that is not override-redirect, seen by xev on the root window; the program is then ended by
# its PID. Here the kit and its peers take turns within each run, so that they share the load.
startup_once() {  # cmd... : prints the milliseconds and the program's CPU milliseconds by then, or NA
  local fifo=$tmp/xev.fifo line armed=0 t0 t1= app xevp cpu=NA
  rm -f "$fifo"; mkfifo "$fifo"
  stdbuf -oL xev -root -event substructure >"$fifo" 2>/dev/null &
  xevp=$!
  exec 7<"$fifo"
  sleep 0.3                       # xev has selected input by now
  t0=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 &
  app=$!
  while IFS= read -r -t 30 line <&7; do
    if [[ $line == MapNotify* ]]; then armed=1; continue; fi
    if ((armed)); then
      if [[ $line == *"override NO"* ]]; then
        t1=$EPOCHREALTIME
        # CPU time of its live threads so far, in nanoseconds (schedstat), as milliseconds
        cpu=$(cat /proc/"$app"/task/*/schedstat 2>/dev/null | awk '{s+=$1} END {if (NR) printf "%.1f", s/1e6; else print "NA"}')
        break
      fi
      armed=0
    fi
  done
  stop_pid "$app"
  stop_pid "$xevp"
  exec 7<&-
  if [[ -n $t1 ]]; then awk -v a="$t0" -v b="$t1" -v c="$cpu" 'BEGIN{printf "%.1f %s", (b-a)*1000, c}'; else echo NA; fi
}
stop_pid() {  # TERM, then KILL after 3 s; only the given PID
  kill "$1" 2>/dev/null
  for _ in $(seq 30); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -9 "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}
if want start; then
  start_runs=$((runs * 4 < 8 ? 8 : runs * 4))
  log "start: the kit beside qt-floor, mpv and VLC, $start_runs runs each, taking turns"
  starters=(kit qt-floor "mpv idle x11" "vlc GUI")
  start_cmd() {  # exec, so that the PID startup_once ends is the program's
    case $1 in
      kit) exec "$kit" ;;
      qt-floor) exec "$qtfloor" ;;
      "mpv idle x11") exec mpv --no-config --force-window --idle --ao=null --vo=x11 ;;
      "vlc GUI") exec "${vlc_as[@]}" vlc -I qt --no-qt-privacy-ask "${VLCOPT[@]}" ;;
    esac
  }
  for who in "${starters[@]}"; do startup_once start_cmd "$who" >/dev/null; done   # warm-up
  for r in $(seq "$start_runs"); do
    # The order turns with each run, so that none always follows the same program.
    for i in "${!starters[@]}"; do
      who=${starters[$(((i + r) % ${#starters[@]}))]}
      read -r ms cpu < <(startup_once start_cmd "$who")
      [[ $ms != NA ]] && rec start start "$who" "$r" ms "$ms"
      [[ ${cpu:-NA} != NA ]] && rec start start "$who" "$r" cpu_ms "$cpu"
    done
  done
fi

# --- playback ------------------------------------------------------------------------------
# The pictures a kit's movie row showed and dropped, from the probe's line (its other figures
# are the process's own and stay out of the row's samples).
rec_pictures() {  # row run
  python3 - "$1" "$2" "$tmp/cmd.out" >>"$raw" <<'PY'
import json, sys
row, run, path = sys.argv[1:]
lines = [l for l in open(path) if l.startswith("{")]
if lines:
    line = json.loads(lines[-1])
    for k in ("pictures_shown", "pictures_dropped", "pictures_painted"):
        if k in line:
            print("\t".join(["play", row, "kit", run, k, str(line[k])]))
PY
}
# One movie row: the kit (its pictures shown, dropped and painted recorded beside its CPU), VLC, and for
# the smaller movies mpv and ffplay too. The kit's probe reports when timeout's TERM ends it.
play_movie_row() {  # row run file [peers...]
  local row=$1 r=$2 F=$3 who; shift 3
  timed play "$row" kit "$r" timeout -s TERM -k 5 "$play_s" "$probe" --realtime AVIVideo "$F"
  rec_pictures "$row" "$r"
  for who in "$@"; do
    case $who in
      vlc) timed play "$row" vlc "$r" timeout -s TERM -k 5 "$play_s" "${vlc_as[@]}" cvlc "${VLCOPT[@]}" --vout=xcb_x11 "$F" ;;
      mpv) timed play "$row" mpv "$r" timeout -s TERM -k 5 "$play_s" mpv --no-config --ao=null --vo=x11 "$F" ;;
      ffplay) timed play "$row" ffplay "$r" timeout -s TERM -k 5 "$play_s" env SDL_RENDER_DRIVER=software ffplay -loglevel error "$F" ;;
    esac
  done
}
# The 720p movie in a 1920x1080 window, the whole screen: the kit's window given the screen's
# available area (no window manager runs to maximize it), VLC's zoomed 1.5 times to the same
# size. Both pictures fill the window, 16:9 in 16:9.
play_maximized_row() {  # run
  local r=$1 F=$media/h264.avi
  [[ -f $F ]] || return 0
  timed play h264_max kit "$r" timeout -s TERM -k 5 "$play_s" "$probe" --realtime --maximized AVIVideo "$F"
  rec_pictures h264_max "$r"
  timed play h264_max vlc "$r" timeout -s TERM -k 5 "$play_s" "${vlc_as[@]}" cvlc "${VLCOPT[@]}" --vout=xcb_x11 --zoom=1.5 "$F"
}
if want play; then
  log "play: ${play_s} s each, $runs runs (about $(( (2 + 2 + 4 * 3 + 2 * 2 + 2) * runs * play_s / 60 )) min)"
  for r in $(seq "$runs"); do
    # Sound only: the kit headless (no display, as ffplay -nodisp and fluidsynth run).
    timed play wav kit "$r" timeout -s TERM -k 5 "$play_s" env -u DISPLAY "$probe" --realtime WaveAudio "$W"
    timed play wav ffplay "$r" timeout -s TERM -k 5 "$play_s" ffplay -nodisp -loglevel error "$W"
    timed play midi kit "$r" timeout -s TERM -k 5 "$play_s" env -u DISPLAY "$probe" --realtime Sequencer "$M"
    timed play midi fluidsynth "$r" timeout -s TERM -k 5 "$play_s" fluidsynth -ni -q -a sdl2 "$SF" "$M"
    for a in "${AVIS[@]}"; do
      case $a in
        *_1080) play_movie_row "$a" "$r" "$media/$a.avi" vlc ;;
        *) play_movie_row "$a" "$r" "$media/$a.avi" vlc mpv ffplay ;;
      esac
    done
    play_maximized_row "$r"
    log "  play run $r done"
  done
fi

# --- throughput ----------------------------------------------------------------------------
if want throughput; then
  log "throughput: decode and render, $runs runs"
  for a in "${AVIS[@]}"; do
    [[ $a == *_1080 ]] && continue
    F=$media/$a.avi
    env -u DISPLAY "$probe" --decode-only AVIVideo "$F" >/dev/null 2>&1   # warm-up
    ffmpeg -nostdin -i "$F" -an -f null - >/dev/null 2>&1
    for r in $(seq "$runs"); do
      timed decode "$a" kit "$r" env -u DISPLAY "$probe" --decode-only AVIVideo "$F"
      rec_json decode "$a" kit "$r" "$tmp/cmd.out" probe_
      # Pictures only, as the kit decodes them: -an leaves the sound alone.
      timed decode "$a" ffmpeg "$r" ffmpeg -hide_banner -nostdin -i "$F" -an -f null -
    done
  done
  env -u DISPLAY "$probe" --render-only Sequencer "$M" >/dev/null 2>&1   # warm-up
  for r in $(seq "$runs"); do
    timed render midi kit "$r" env -u DISPLAY "$probe" --render-only Sequencer "$M"
    rec_json render midi kit "$r" "$tmp/cmd.out" probe_
    rm -f "$tmp/out.raw"
    timed render midi fluidsynth "$r" fluidsynth -ni -q -F "$tmp/out.raw" "$SF" "$M"
    rec render midi fluidsynth "$r" rendered_s "$(awk -v b="$(stat -c %s "$tmp/out.raw" 2>/dev/null || echo 0)" 'BEGIN{printf "%.2f", b/176400}')"
  done
fi

# --- latencies inside the kit --------------------------------------------------------------
if want latency; then
  n=$((runs * 10))
  log "latency: Open and Play ($n each), UI stalls ($((play_s / 2)) s idle + playing)"
  open_rows=(wav:WaveAudio:"$W" midi:Sequencer:"$M")
  for a in "${AVIS[@]}"; do open_rows+=("$a:AVIVideo:$media/$a.avi"); done
  for entry in "${open_rows[@]}"; do
    IFS=: read -r row type file <<<"$entry"
    "$benchbin/open_latency" --runs "$n" --real-output "$type" "$file" >"$tmp/o.json" 2>"$tmp/o.err" ||
      log "  open_latency $row failed: $(cat "$tmp/o.err")"
    rec_json open "$row" kit 1 "$tmp/o.json"
    "$benchbin/play_latency" --runs "$n" "$type" "$file" >"$tmp/p.json" 2>"$tmp/p.err" ||
      log "  play_latency $row failed: $(cat "$tmp/p.err")"
    rec_json playlat "$row" kit 1 "$tmp/p.json"
  done
  # What this machine itself adds to work done after idling (no kit code): the stall rows'
  # first Open and first moments of playing come after 10 s of it.
  python3 "$repo/bench/after_idle.py" 0 10 >"$tmp/i.json" 2>"$tmp/i.err" ||
    log "  after_idle failed: $(cat "$tmp/i.err")"
  rec_json idle machine python 1 "$tmp/i.json"
  stall_rows=(wav:WaveAudio:"$W" midi:Sequencer:"$M")
  for a in "${AVIS[@]}"; do stall_rows+=("$a:AVIVideo:$media/$a.avi"); done
  for entry in "${stall_rows[@]}"; do
    IFS=: read -r row type file <<<"$entry"
    "$benchbin/ui_stall" --seconds "$((play_s / 2))" "$type" "$file" >"$tmp/s.json" 2>"$tmp/s.err" ||
      log "  ui_stall $row failed: $(cat "$tmp/s.err")"
    rec_json stall "$row" kit 1 "$tmp/s.json"
  done
fi

# --- memory with the four players open ---------------------------------------------------
if want memory; then
  log "memory: the kit with its four players open, $runs runs"
  samples=$(python3 - "$SF" <<'PY'
import struct, sys
# Bytes of sample data in the SoundFont (the smpl and sm24 chunks of its sdta list).
def chunks(f, start, end):
    at = start
    while at + 8 <= end:
        f.seek(at)
        cid, size = struct.unpack("<4sI", f.read(8))
        yield cid, size, at + 8
        at += 8 + size + (size & 1)
total = 0
with open(sys.argv[1], "rb") as f:
    riff, size, kind = struct.unpack("<4sI4s", f.read(12))
    for cid, csize, body in chunks(f, 12, 8 + size):
        f.seek(body)
        if cid == b"LIST" and f.read(4) == b"sdta":
            total += sum(s for sub, s, _ in chunks(f, body + 4, body + csize)
                         if sub in (b"smpl", b"sm24"))
print(total)
PY
)
  for r in $(seq "$runs"); do
    "$benchbin/kit_memory" >"$tmp/m.json" 2>"$tmp/m.err" || log "  kit_memory failed: $(cat "$tmp/m.err")"
    rec_json memory players kit "$r" "$tmp/m.json"
    rec memory players limit "$r" limit_kib "$(( 80 * 1024 + samples / 1024 ))"
    rec memory players limit "$r" soundfont_samples_kib "$(( samples / 1024 ))"
  done
fi

# --- a minute against an hour --------------------------------------------------------------
# The same S seconds of playing from the start of each, the two lengths taking turns; then
# "Open" of each, as the latency section times it. The hour is the minute 60 times over, so
# whatever differs grows with the medium: an index or a whole file read at "Open", a table
# kept in memory.
if want long; then
  log "long: a minute against an hour of WAV, MIDI and movie, $runs runs of ${play_s} s"
  long_rows=(wav:WaveAudio:wav midi:Sequencer:mid movie:AVIVideo:avi)
  # All of each file in the page cache first, so that the hour does not pay for disk reads
  # (the kernel reads ahead megabytes past what the player asks for) that the minute, ten
  # megabytes that stay cached, never does: the rows compare the kit, not the disk.
  for entry in "${long_rows[@]}"; do
    IFS=: read -r row type ext <<<"$entry"
    cat "$media/$row-1min.$ext" "$media/$row-60min.$ext" >/dev/null
  done
  for r in $(seq "$runs"); do
    for entry in "${long_rows[@]}"; do
      IFS=: read -r row type ext <<<"$entry"
      for len in 1min 60min; do
        file=$media/$row-$len.$ext
        # Sound headless as in the play section; the movie in its window on Xvfb.
        nodisplay=(env -u DISPLAY)
        [[ $type == AVIVideo ]] && nodisplay=()
        timed long "$row" "$len" "$r" timeout -s TERM -k 5 "$play_s" "${nodisplay[@]}" \
          "$probe" --realtime "$type" "$file"
        rec long "$row" "$len" "$r" played_s "$play_s"
      done
    done
  done
  for entry in "${long_rows[@]}"; do
    IFS=: read -r row type ext <<<"$entry"
    for len in 1min 60min; do
      file=$media/$row-$len.$ext
      "$benchbin/open_latency" --runs $((runs * 10)) --real-output "$type" "$file" \
        >"$tmp/o.json" 2>"$tmp/o.err" || log "  open_latency $row $len failed: $(tail -c 300 "$tmp/o.err")"
      rec_json longopen "$row" "$len" 1 "$tmp/o.json"
    done
  done
fi

# --- the kit itself --------------------------------------------------------------------------
# zyr-kit FILE: the kit starts with its windows, goes to the player for FILE, opens and plays
# it. Timed like the play section, beside the same peers. The kit is given a runtime folder and
# session of its own, so that it cannot hand FILE to another kit running on the machine. A run
# counts only if the kit was playing near its end: SDL's audio thread among its threads (a
# sound output open) and the kit's own unnamed threads (the playback worker) waking within a
# second. A kit that showed its main menu, or opened FILE without playing it, would look cheap,
# not fast.
descendant() {  # name pid: the first process called NAME below PID (one level at a time)
  local level=("$2") next p
  while ((${#level[@]})); do
    next=()
    for p in "${level[@]}"; do
      for c in $(pgrep -P "$p"); do
        [[ $(cat /proc/"$c"/comm 2>/dev/null) == "$1" ]] && { echo "$c"; return; }
        next+=("$c")
      done
    done
    level=("${next[@]}")
  done
}
worker_wakeups() {  # pid: voluntary switches of its unnamed threads but the main one, summed
  local t
  for t in /proc/"$1"/task/*; do
    [[ ${t##*/} != "$1" && $(cat "$t"/comm 2>/dev/null) == zyr-kit ]] &&
      awk '/^voluntary_ctxt_switches/ {print $2}' "$t"/status 2>/dev/null
  done | awk '{n += $1} END {print n + 0}'
}
kit_play() {  # row run file
  local row=$1 r=$2 file=$3 rundir pid timer playing=0
  rundir=$(mktemp -d)
  chmod 700 "$rundir"
  timed kitplay "$row" kit "$r" env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR="$rundir" \
    timeout -s TERM -k 5 "$play_s" "$kit" "$file" &
  timer=$!
  sleep "$(awk -v s="$play_s" 'BEGIN{print (s > 4 ? s - 3 : s / 3)}')"
  pid=$(descendant zyr-kit "$timer")
  if [[ -n $pid ]] && grep -qs '^SDLAudioP' /proc/"$pid"/task/*/comm; then
    local before
    before=$(worker_wakeups "$pid")
    sleep 1
    (($(worker_wakeups "$pid") - before >= 3)) && playing=1
  fi
  wait "$timer"
  rec kitplay "$row" kit "$r" playing "$playing"
  rm -rf "$rundir"
}
if want kit; then
  log "kit: zyr-kit FILE with its windows, $runs runs of ${play_s} s"
  for r in $(seq "$runs"); do
    kit_play wav "$r" "$W"
    timed kitplay wav ffplay "$r" timeout -s TERM -k 5 "$play_s" ffplay -nodisp -loglevel error "$W"
    kit_play midi "$r" "$M"
    timed kitplay midi fluidsynth "$r" timeout -s TERM -k 5 "$play_s" fluidsynth -ni -q -a sdl2 "$SF" "$M"
  done
fi

echo "# load at end: $(cut -d' ' -f1-3 /proc/loadavg)" >>"$out/header.txt"
{ cat "$out/header.txt"; python3 "$repo/bench/bench_table.py" "$raw"; } | tee "$out/table.txt"
exit
}
