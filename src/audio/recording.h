// From a recording to a tone: the frames are read in pieces through the
// ByteSource, mixed to mono, resampled to the tone's rate and encoded.
#pragma once

#include "adpcm.h"
#include "resample.h"
#include "wav.h"

#include <cstddef>
#include <cstdint>

const int32_t TONE_MIN_RATE = 2000;
const int32_t TONE_MAX_RATE = 55000;

// Return codes of the pipeline.
enum RecordingResult {
    RECORDING_OK = 0,
    RECORDING_READ_ERROR = -1, // the source failed to read
    RECORDING_WRONG_SIZE = -2, // the room given is not the size predicted from the header
    RECORDING_BAD_RATE = -3,   // tone rate outside TONE_MIN_RATE..TONE_MAX_RATE
    RECORDING_BAD_INFO = -4,   // `info` is not a format read_wav_info accepts
};

// Counts for the caller to report.
struct RecordingReport {
    int64_t samples; // samples of the tone
    int64_t clamped; // samples beyond 16 bits after mixing and resampling, clamped
    AdpcmReport coding;
};

// Mixes `frames` frames of `info`'s format from `bytes` to mono samples at
// full scale SAMPLE_FULL_SCALE: the mean of the channels, rounded half up.
// 16-bit s, 24-bit s << 8, 32-bit s << 16, float s / 32768 and 8-bit
// (s >> 8) + 128 all give the same sample. Floats are clamped to +-2.0, NaN
// is silence.
void mix_frames(const WavInfo& info, const unsigned char* bytes, size_t frames, int32_t* mono);

// A mono sample at SAMPLE_FULL_SCALE to 16 bits, rounded half up; adds 1 to
// `*clamped` when it had to be clamped.
int16_t sample_to_16_bits(int32_t value, int64_t* clamped);

// Reads the recording described by `info` from `source`, mixes it to mono
// and resamples it to `tone_rate` (unchanged when the rates are equal) into
// `target`, which holds exactly `count` == tone_samples(info.frames,
// info.rate, tone_rate) samples. Returns RECORDING_OK or a RecordingResult;
// `report` (may be null) gets the sample and clamp counts.
int read_tone_target(const ByteSource& source, const WavInfo& info, int32_t tone_rate,
                     int16_t* target, size_t count, RecordingReport* report);

// Reads the recording described by `info` from `source`, mixes it to mono,
// resamples it to `tone_rate` and encodes it into exactly `dest_size` bytes
// (== encoded_tone_bytes(tone_samples(info.frames, info.rate, tone_rate))).
// Returns RECORDING_OK or a RecordingResult. `report` (may be null) receives
// counts the caller prints (clamped samples, ...). Prints nothing.
int encode_recording(const ByteSource& source, const WavInfo& info, int32_t tone_rate,
                     unsigned char* dest, size_t dest_size, RecordingReport* report);
