#include "recording.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Bytes read from the source at a time.
const size_t READ_BYTES = 1 << 16;
// Floats beyond +-FLOAT_LIMIT of full scale are held there: far enough to
// be clamped later and counted, near enough that sums cannot overflow.
const double FLOAT_LIMIT = 2.0;

uint32_t le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// floor(a / b) for b > 0.
int64_t floor_div(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// A float sample (1.0 full scale) at SAMPLE_FULL_SCALE: multiplied by a
// power of two, which is exact, then rounded half up by hand, so no
// rounding mode or library call is involved.
int32_t float_sample(double value) {
    if (!(value == value)) {
        return 0; // NaN
    }
    value = std::min(std::max(value, -FLOAT_LIMIT), FLOAT_LIMIT);
    double scaled = value * SAMPLE_FULL_SCALE;
    int64_t whole = static_cast<int64_t>(scaled); // toward zero
    if (static_cast<double>(whole) > scaled) {
        whole--; // floor for negatives
    }
    if (scaled - static_cast<double>(whole) >= 0.5) {
        whole++;
    }
    return static_cast<int32_t>(whole);
}

// One sample of `info`'s format at `p`, at SAMPLE_FULL_SCALE.
int32_t read_sample(const WavInfo& info, const unsigned char* p) {
    if (info.format == WAV_FLOAT) {
        if (info.bits == 32) {
            uint32_t bits = le32(p);
            float value;
            std::memcpy(&value, &bits, sizeof value);
            return float_sample(value);
        }
        uint64_t bits = le32(p) | static_cast<uint64_t>(le32(p + 4)) << 32;
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return float_sample(value);
    }
    switch (info.bits) {
    case 8:
        return (static_cast<int32_t>(p[0]) - 128) * 65536;
    case 16:
        return (static_cast<int32_t>(p[0] | p[1] << 8) - (p[1] & 0x80 ? 65536 : 0)) * 256;
    case 24:
        return (p[0] | p[1] << 8 | p[2] << 16) - (p[2] & 0x80 ? 1 << 24 : 0);
    default: {
        int64_t value = int64_t{le32(p)} - (p[3] & 0x80 ? int64_t{1} << 32 : 0);
        return static_cast<int32_t>(floor_div(value + 128, 256));
    }
    }
}

struct Reading {
    const ByteSource* source;
    const WavInfo* info;
    int64_t next_frame;
    std::vector<unsigned char> bytes;
    std::vector<int32_t> mono;
};

// Reads and mixes the next piece of the recording into reading.mono.
// Returns the frames read (0 at the end) or RECORDING_READ_ERROR.
int64_t read_piece(Reading& reading) {
    const WavInfo& info = *reading.info;
    int64_t frames = std::min<int64_t>(info.frames - reading.next_frame,
                                       static_cast<int64_t>(reading.mono.size()));
    if (frames <= 0) {
        return 0;
    }
    size_t bytes = static_cast<size_t>(frames) * static_cast<size_t>(info.block_align);
    int64_t offset = info.data_offset + reading.next_frame * info.block_align;
    if (reading.source->read(reading.source->context, offset, reading.bytes.data(), bytes) < 0) {
        return RECORDING_READ_ERROR;
    }
    mix_frames(info, reading.bytes.data(), static_cast<size_t>(frames), reading.mono.data());
    reading.next_frame += frames;
    return frames;
}

// Whether `info` describes a format this file reads, as read_wav_info
// fills it; a caller's own WavInfo could say anything.
bool taken_format(const WavInfo& info) {
    bool bits = info.format == WAV_FLOAT
                    ? (info.bits == 32 || info.bits == 64)
                    : info.format == WAV_INTEGER &&
                          (info.bits == 8 || info.bits == 16 || info.bits == 24 || info.bits == 32);
    return bits && info.channels >= 1 && info.channels <= WAV_MAX_CHANNELS &&
           info.rate >= WAV_MIN_RATE && info.rate <= WAV_MAX_RATE &&
           info.block_align == info.channels * info.bits / 8 && info.frames >= 0 &&
           info.data_offset >= 0;
}

} // namespace

void mix_frames(const WavInfo& info, const unsigned char* bytes, size_t frames, int32_t* mono) {
    size_t sample_bytes = static_cast<size_t>(info.bits / 8);
    int64_t channels = info.channels;
    for (size_t f = 0; f < frames; f++) {
        const unsigned char* frame = bytes + f * static_cast<size_t>(info.block_align);
        int64_t sum = 0;
        for (int64_t c = 0; c < channels; c++) {
            sum += read_sample(info, frame + static_cast<size_t>(c) * sample_bytes);
        }
        // round(sum / channels), half up.
        mono[f] = static_cast<int32_t>(floor_div(2 * sum + channels, 2 * channels));
    }
}

int16_t sample_to_16_bits(int32_t value, int64_t* clamped) {
    int64_t rounded = floor_div(int64_t{value} + 128, 256);
    if (rounded > 32767 || rounded < -32768) {
        (*clamped)++;
        return static_cast<int16_t>(rounded > 0 ? 32767 : -32768);
    }
    return static_cast<int16_t>(rounded);
}

int read_tone_target(const ByteSource& source, const WavInfo& info, int32_t tone_rate,
                     int16_t* target, size_t count, RecordingReport* report) {
    if (tone_rate < TONE_MIN_RATE || tone_rate > TONE_MAX_RATE) {
        return RECORDING_BAD_RATE;
    }
    if (!taken_format(info)) {
        return RECORDING_BAD_INFO;
    }
    int64_t samples = tone_samples(info.frames, info.rate, tone_rate);
    if (samples < 0 || static_cast<int64_t>(count) != samples) {
        return RECORDING_WRONG_SIZE;
    }
    Reading reading{&source, &info, 0, {}, {}};
    size_t piece = std::max<size_t>(1, READ_BYTES / static_cast<size_t>(info.block_align));
    reading.bytes.resize(piece * static_cast<size_t>(info.block_align));
    reading.mono.resize(piece);
    int64_t clamped = 0;
    if (info.rate == tone_rate) {
        // Equal rates: the samples as they are, 16-bit input bit for bit.
        size_t made = 0;
        int64_t frames;
        while ((frames = read_piece(reading)) > 0) {
            for (int64_t i = 0; i < frames; i++) {
                target[made++] = sample_to_16_bits(reading.mono[static_cast<size_t>(i)], &clamped);
            }
        }
        if (frames < 0) {
            return RECORDING_READ_ERROR;
        }
    } else {
        Resampler resampler;
        std::vector<int32_t> resampled(count);
        resampler_init(&resampler, info.rate, tone_rate, samples);
        int64_t frames;
        while ((frames = read_piece(reading)) > 0) {
            resampler_push(&resampler, reading.mono.data(), static_cast<size_t>(frames),
                           resampled.data());
        }
        if (frames < 0) {
            return RECORDING_READ_ERROR;
        }
        resampler_finish(&resampler, resampled.data());
        for (size_t i = 0; i < count; i++) {
            target[i] = sample_to_16_bits(resampled[i], &clamped);
        }
    }
    if (report != nullptr) {
        report->samples = samples;
        report->clamped = clamped;
    }
    return RECORDING_OK;
}

int encode_recording(const ByteSource& source, const WavInfo& info, int32_t tone_rate,
                     unsigned char* dest, size_t dest_size, RecordingReport* report) {
    if (tone_rate < TONE_MIN_RATE || tone_rate > TONE_MAX_RATE) {
        return RECORDING_BAD_RATE;
    }
    int64_t samples = tone_samples(info.frames, info.rate, tone_rate);
    if (samples < 0 || static_cast<int64_t>(dest_size) != encoded_tone_bytes(samples)) {
        return RECORDING_WRONG_SIZE;
    }
    std::vector<int16_t> target(static_cast<size_t>(samples));
    int result = read_tone_target(source, info, tone_rate, target.data(), target.size(), report);
    if (result != RECORDING_OK) {
        return result;
    }
    AdpcmReport coding;
    adpcm_encode_tone(target.data(), target.size(), ADPCM_BEAM_WIDTH, dest, dest_size, &coding);
    if (report != nullptr) {
        report->coding = coding;
    }
    return RECORDING_OK;
}
