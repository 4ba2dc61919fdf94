#!/usr/bin/env bash
# Makes the measuring corpus of the audio encoder in DIR (default
# /tmp/audio_corpus): speech, drums, a bass line, chords and noise, 16-bit
# mono at 16 kHz, plus a 30 s 44.1 kHz stereo file for timing the pipeline.
# Needs sox and espeak-ng.
set -euo pipefail
dir=${1:-/tmp/audio_corpus}
mkdir -p "$dir/parts"
cd "$dir"
p=parts

espeak-ng -w $p/speech.wav "The quick brown fox jumps over the lazy dog. Sound chips of old computers \
played short samples of speech and drums from tiny banks of memory, four bits at a time. Every byte \
held two codes, and every code moved the output up or down by a step that grew and shrank with the \
signal. Seven sisters sang softly while the shop was closing."
sox $p/speech.wav -r 16000 -b 16 speech.wav

# Drums: kick, snare and hats in quarter-second slots, sixteen to a bar.
sox -n -r 16000 -b 16 $p/kick.wav synth 0.25 sine 160-45 fade 0 0.25 0.22 gain -2
sox -n -r 16000 -b 16 $p/snare.wav synth 0.25 noise gain -6 lowpass 5000 fade 0 0.25 0.2
sox -n -r 16000 -b 16 $p/hat.wav synth 0.25 noise gain -14 highpass 7000 fade 0 0.25 0.2
sox -n -r 16000 -b 16 $p/rest.wav trim 0 0.25
sox -m $p/kick.wav $p/hat.wav $p/kh.wav
sox -m $p/snare.wav $p/hat.wav $p/sh.wav
sox $p/kh.wav $p/hat.wav $p/sh.wav $p/hat.wav $p/kh.wav $p/kick.wav $p/sh.wav $p/rest.wav $p/bar.wav
sox $p/bar.wav $p/bar.wav $p/bar.wav $p/bar.wav $p/bar.wav $p/bar.wav $p/bar.wav $p/bar.wav drums.wav

# Bass: a plucked and a sawtooth line, low-passed.
notes="55 55 82.41 73.42 65.41 65.41 98 87.31"
parts=()
for n in $notes; do
  sox -n -r 16000 -b 16 $p/bass_$n.wav synth 0.3 sawtooth $n gain -4 lowpass 900 fade 0 0.3 0.05
  parts+=($p/bass_$n.wav)
done
sox "${parts[@]}" "${parts[@]}" "${parts[@]}" "${parts[@]}" bass.wav

# Chords: three plucked and three square voices, mixed to mono.
sox -n -r 16000 -b 16 $p/c1.wav synth 2 pluck C4 pluck E4 pluck G4 remix - gain -3
sox -n -r 16000 -b 16 $p/c2.wav synth 2 pluck A3 pluck C4 pluck E4 remix - gain -3
sox -n -r 16000 -b 16 $p/c3.wav synth 2 square F3 square A3 square C4 remix - gain -9 lowpass 3000
sox -n -r 16000 -b 16 $p/c4.wav synth 2 pluck G3 pluck B3 pluck D4 remix - gain -3
sox $p/c1.wav $p/c2.wav $p/c3.wav $p/c4.wav $p/c1.wav $p/c2.wav $p/c3.wav $p/c4.wav chords.wav

# Noise: white and pink, at moderate levels.
sox -n -r 16000 -b 16 $p/white.wav synth 5 whitenoise gain -12
sox -n -r 16000 -b 16 $p/pink.wav synth 5 pinknoise gain -6
sox $p/white.wav $p/pink.wav noise.wav

# Timing: 30 s of 44.1 kHz stereo 16-bit, chords on the left, speech and
# drums on the right.
sox chords.wav chords.wav $p/left.wav
sox speech.wav drums.wav $p/right.wav
sox -M $p/left.wav $p/right.wav -r 44100 -b 16 long.wav trim 0 30 gain -n -1

rm -r parts
ls -l "$dir"
