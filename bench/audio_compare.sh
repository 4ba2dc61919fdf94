#!/usr/bin/env bash
# Compares the road from a WAV file to a tone against sox's `rate -v` with
# the greedy encoder, from 22.05, 44.1 and 48 kHz recordings of the corpus
# (bench/audio_corpus.sh), and times the road on the 30 s stereo file.
# usage: audio_compare.sh AUDIO_MEASURE [CORPUS_DIR]
set -euo pipefail
measure=$1
dir=${2:-/tmp/audio_corpus}
work=$(mktemp -d)
trap 'rm -r "$work"' EXIT
signals="speech drums bass chords noise"

echo "== Quality at 16 kHz: searched vs greedy against the target"
for s in $signals; do
  "$measure" "$dir/$s.wav" 16000 | sed -n 2p | sed "s/^/$s/"
done

echo "== Against a reference: each signal low-passed below 7 kHz at 16 kHz, raised to the"
echo "   source rate by sox, then brought back by (ours + search) and by (sox rate -v + greedy)"
for s in $signals; do
  sox "$dir/$s.wav" "$work/ref.wav" gain -1 sinc -7000
  for rate in 22050 44100 48000; do
    sox "$work/ref.wav" -b 24 "$work/src.wav" rate -v $rate
    sox -D "$work/src.wav" -b 16 "$work/sox.wav" rate -v 16000
    ours=$("$measure" "$work/src.wav" 16000 --reference "$work/ref.wav" | sed -n 3p)
    theirs=$("$measure" "$work/sox.wav" 16000 --reference "$work/ref.wav" | sed -n 3p)
    # "against REF: target T dB, searched S dB, greedy G dB"
    printf '%-7s %6d  ours: resampled %s dB, tone %s dB   sox: resampled %s dB, tone (greedy) %s dB\n' \
      "$s" "$rate" "$(echo "$ours" | awk '{print $4}')" "$(echo "$ours" | awk '{print $7}')" \
      "$(echo "$theirs" | awk '{print $4}')" "$(echo "$theirs" | awk '{print $10}')"
  done
done

echo "== Time and peak memory, 30 s of 44.1 kHz stereo 16-bit to a 16 kHz tone"
for i in 1 2 3; do
  /usr/bin/time -f "ours %e s, %M KiB" "$measure" --pipeline "$dir/long.wav" 16000 "$work/long.bin" >/dev/null
  /usr/bin/time -f "sox  %e s, %M KiB" sox "$dir/long.wav" -r 16000 -c 1 "$work/long16.wav"
done
