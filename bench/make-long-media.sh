#!/usr/bin/env bash
# make-long-media.sh MEDIA_DIR — a minute and an hour of the same sound, music and movie, from the
# files make-media.sh wrote into MEDIA_DIR, for the rows that look for costs growing with the
# medium. Each hour is its minute repeated, so that every minute of it plays alike:
#
#   wav-1min.wav    the first 60 s of music.wav     wav-60min.wav    it 60 times (635 MB)
#   midi-1min.mid   the first 60 s of song.mid      midi-60min.mid   it 60 times
#   movie-1min.avi  mpeg4.avi remuxed               movie-60min.avi  it 60 times (1.3 GB)
#
# Both movies are remuxed alike (stream copy), so both carry the index FFmpeg's AVI muxer writes
# (OpenDML beyond 1 GB). About 2 GB in all, some 15 s; files already there are kept.
# Needs: sox, ffmpeg, python3.
set -euo pipefail
media=$(cd "${1:?usage: make-long-media.sh MEDIA_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
cd "$media"
for f in music.wav song.mid mpeg4.avi; do
  [[ -s $f ]] || { echo "make-long-media: $media/$f is missing (make-media.sh first)" >&2; exit 1; }
done

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
wav_1min() { sox music.wav "$1" trim 0 60; }
wav_60min() { sox wav-1min.wav "$1" repeat 59; }
midi_1min() { python3 "$here/loop_midi.py" song.mid "$1" 60; }
midi_60min() { python3 "$here/loop_midi.py" song.mid "$1" 60 60; }
movie_1min() { ff -i mpeg4.avi -c copy -f avi "$1"; }
movie_60min() { ff -stream_loop 59 -i mpeg4.avi -c copy -f avi "$1"; }

# Each file is written under a temporary name and then renamed, so an interrupted run leaves no
# short file behind to be taken for a whole one.
for f in wav-1min.wav wav-60min.wav midi-1min.mid midi-60min.mid movie-1min.avi movie-60min.avi; do
  [[ -s $f ]] && continue
  make=${f%.*}
  "${make//-/_}" "partial-$f"
  mv "partial-$f" "$f"
done
ls -l wav-*min.wav midi-*min.mid movie-*min.avi
