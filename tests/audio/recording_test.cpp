// The road from a recording to a tone: every sample format gives the bytes
// of 16-bit mono, clamps are counted, sizes checked, read errors returned.
#include "audio/recording.h"
#include "wav_bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

// 16-bit samples with both extremes; `coarse` keeps multiples of 256, which
// 8-bit holds.
std::vector<int32_t> samples(bool coarse) {
    std::vector<int32_t> s;
    uint32_t seed = 99;
    for (int i = 0; i < 2000; i++) {
        seed = seed * 1103515245u + 12345u;
        int32_t v = static_cast<int32_t>(seed >> 16) - 32768;
        s.push_back(coarse ? v / 256 * 256 : v);
    }
    s[5] = -32768;
    s[6] = coarse ? 32512 : 32767;
    return s;
}

// The samples in `kind` ("8", "16", "24", "32", "f32", "f64"), each
// repeated over the channels.
Bytes recording(const std::vector<int32_t>& s, const std::string& kind, uint32_t channels,
                uint32_t rate, bool extensible) {
    uint32_t bits =
        kind == "f64" ? 64 : static_cast<uint32_t>(std::stoi(kind.substr(kind[0] == 'f')));
    Bytes data;
    for (int32_t v : s) {
        for (uint32_t c = 0; c < channels; c++) {
            float f = static_cast<float>(v / 32768.0);
            double d = v / 32768.0;
            uint64_t u = static_cast<uint64_t>(v);
            if (kind == "f32") {
                uint32_t bits;
                std::memcpy(&bits, &f, 4);
                u = bits;
            } else if (kind == "f64") {
                std::memcpy(&u, &d, 8);
            } else {
                u = bits == 8 ? static_cast<uint64_t>(v / 256 + 128) : u << (bits - 16);
            }
            put(data, u, static_cast<int>(bits / 8));
        }
    }
    uint32_t tag = kind[0] == 'f' ? 3 : 1;
    Bytes fmt = extensible ? fmt_body(0xFFFE, channels, rate, bits, tag)
                           : fmt_body(tag, channels, rate, bits);
    return riff({chunk("fmt ", fmt), chunk("data", data)});
}

struct Encoded {
    int result;
    Bytes tone;
    RecordingReport report;
};

Encoded encode(const Bytes& file, int32_t tone_rate, int64_t fail_from = INT64_MAX) {
    MemoryBytes m{&file, fail_from};
    WavInfo info;
    EXPECT_EQ(read_wav_info(memory_source(&m), &info), WAV_OK);
    Encoded e;
    e.tone.resize(
        static_cast<size_t>(encoded_tone_bytes(tone_samples(info.frames, info.rate, tone_rate))));
    e.result = encode_recording(memory_source(&m), info, tone_rate, e.tone.data(), e.tone.size(),
                                &e.report);
    return e;
}

TEST(EncodeRecording, EveryFormatGivesThe16BitMonoBytes) {
    const struct {
        const char* kind;
        uint32_t channels;
        bool extensible;
    } formats[] = {{"16", 2, false},  {"24", 1, false},  {"32", 1, false},
                   {"f32", 1, false}, {"f64", 3, false}, {"24", 8, true},
                   {"f32", 2, true},  {"8", 1, false},   {"8", 2, false}};
    for (int32_t tone_rate : {16000, 11025}) {
        for (const auto& f : formats) {
            bool coarse = f.kind[0] == '8';
            Encoded mono = encode(recording(samples(coarse), "16", 1, 16000, false), tone_rate);
            Encoded other = encode(
                recording(samples(coarse), f.kind, f.channels, 16000, f.extensible), tone_rate);
            ASSERT_EQ(other.result, RECORDING_OK);
            EXPECT_EQ(other.tone, mono.tone) << f.kind << " x" << f.channels << " at " << tone_rate;
        }
    }
}

// Equal rates: the 16-bit samples reach the encoder as they are. Floats
// beyond full scale and infinities are clamped and counted, NaN is silence.
TEST(EncodeRecording, EqualRatesKeepTheSamplesAndClampsAreCounted) {
    std::vector<int32_t> s = samples(false);
    Bytes file = recording(s, "16", 1, 22050, false);
    const double values[] = {1.5, -1.0, -3.0, INFINITY, -INFINITY, NAN, 0.5, 1.0};
    Bytes data;
    for (double v : values) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        put(data, bits, 8);
    }
    Bytes floats = riff({chunk("fmt ", fmt_body(3, 1, 8000, 64)), chunk("data", data)});
    for (const Bytes* f : {&file, &floats}) {
        MemoryBytes m{f, INT64_MAX};
        WavInfo info;
        ASSERT_EQ(read_wav_info(memory_source(&m), &info), WAV_OK);
        std::vector<int16_t> target(static_cast<size_t>(info.frames));
        RecordingReport report;
        ASSERT_EQ(read_tone_target(memory_source(&m), info, info.rate, target.data(), target.size(),
                                   &report),
                  RECORDING_OK);
        if (f == &file) {
            EXPECT_EQ(std::vector<int32_t>(target.begin(), target.end()), s);
            EXPECT_EQ(report.clamped, 0);
        } else {
            EXPECT_EQ(target, (std::vector<int16_t>{32767, -32768, -32768, 32767, -32768, 0, 16384,
                                                    32767}));
            EXPECT_EQ(report.clamped, 5);
        }
    }
    // A full-scale square overshoots when resampled: clamped and counted.
    std::vector<int32_t> square(4000);
    for (size_t i = 0; i < square.size(); i++) {
        square[i] = (i / 50) % 2 ? 32767 : -32768;
    }
    Encoded e = encode(recording(square, "16", 1, 44100, false), 16000);
    EXPECT_EQ(e.result, RECORDING_OK);
    EXPECT_GT(e.report.clamped, 0);
    EXPECT_EQ(e.report.samples, tone_samples(4000, 44100, 16000));
}

TEST(EncodeRecording, RefusalsAndReadErrors) {
    Bytes file = recording(samples(false), "16", 1, 44100, false);
    MemoryBytes m{&file, INT64_MAX};
    WavInfo info;
    ASSERT_EQ(read_wav_info(memory_source(&m), &info), WAV_OK);
    size_t bytes = static_cast<size_t>(encoded_tone_bytes(tone_samples(info.frames, 44100, 16000)));
    Bytes tone(bytes + 32);
    ByteSource source = memory_source(&m);
    EXPECT_EQ(encode_recording(source, info, 16000, tone.data(), bytes + 32, nullptr),
              RECORDING_WRONG_SIZE);
    EXPECT_EQ(encode_recording(source, info, 1999, tone.data(), bytes, nullptr),
              RECORDING_BAD_RATE);
    EXPECT_EQ(encode_recording(source, info, 55001, tone.data(), bytes, nullptr),
              RECORDING_BAD_RATE);
    WavInfo odd = info;
    odd.block_align = 0;
    EXPECT_EQ(encode_recording(source, odd, 16000, tone.data(), bytes, nullptr),
              RECORDING_BAD_INFO);
    EXPECT_EQ(encode(file, 16000, 3000).result, RECORDING_READ_ERROR);
    EXPECT_EQ(encode(file, 44100, 3000).result, RECORDING_READ_ERROR);
}

} // namespace
