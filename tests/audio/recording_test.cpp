// The pipeline: every sample format gives the 16-bit mono bytes, clamps are
// counted, sizes are checked, read errors come back.
#include "audio/recording.h"
#include "wav_bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

// 16-bit samples with both extremes, steps of 256 so that 8-bit holds them.
std::vector<int32_t> samples(bool coarse) {
    std::vector<int32_t> s;
    uint32_t seed = 99;
    for (int i = 0; i < 2000; i++) {
        seed = seed * 1103515245u + 12345u;
        int32_t v = static_cast<int32_t>(seed >> 16) - 32768;
        s.push_back(coarse ? v / 256 * 256 : v);
    }
    s[5] = -32768;
    s[6] = 32767 / 256 * 256 + (coarse ? 0 : 255);
    return s;
}

// Each sample in a format, repeated over the channels.
Bytes encode_sample(int32_t s, const std::string& kind) {
    Bytes b;
    if (kind == "8") {
        b.push_back(static_cast<unsigned char>(s / 256 + 128));
    } else if (kind == "16") {
        put16(b, static_cast<uint32_t>(s) & 0xFFFF);
    } else if (kind == "24") {
        uint32_t v = static_cast<uint32_t>(s) << 8;
        b = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v >> 16)};
    } else if (kind == "32") {
        put32(b, static_cast<uint32_t>(s) << 16);
    } else if (kind == "f32") {
        float f = static_cast<float>(s / 32768.0);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        put32(b, bits);
    } else {
        double f = s / 32768.0;
        uint64_t bits;
        std::memcpy(&bits, &f, 8);
        put32(b, static_cast<uint32_t>(bits));
        put32(b, static_cast<uint32_t>(bits >> 32));
    }
    return b;
}

Bytes recording(const std::vector<int32_t>& s, const std::string& kind, uint32_t channels, uint32_t rate,
                bool extensible) {
    uint32_t bits = kind == "8" ? 8 : kind == "16" ? 16 : kind == "24" ? 24 : kind == "f64" ? 64 : 32;
    uint32_t tag = kind[0] == 'f' ? 3 : 1;
    Bytes data;
    for (int32_t v : s) {
        Bytes one = encode_sample(v, kind);
        for (uint32_t c = 0; c < channels; c++) {
            data.insert(data.end(), one.begin(), one.end());
        }
    }
    Bytes fmt = extensible ? fmt_body(0xFFFE, channels, rate, bits, tag) : fmt_body(tag, channels, rate, bits);
    return riff({chunk("fmt ", fmt), chunk("data", data)});
}

struct Encoded {
    int result;
    Bytes tone;
    RecordingReport report;
};

Encoded encode(const Bytes& file, int32_t tone_rate, int64_t fail_from = INT64_MAX) {
    MemoryBytes m{&file, fail_from};
    ByteSource source = memory_source(&m);
    WavInfo info;
    EXPECT_EQ(read_wav_info(source, &info), WAV_OK);
    Encoded e;
    e.tone.resize(static_cast<size_t>(encoded_tone_bytes(tone_samples(info.frames, info.rate, tone_rate))));
    e.result = encode_recording(source, info, tone_rate, e.tone.data(), e.tone.size(), &e.report);
    return e;
}

TEST(EncodeRecording, EveryFormatGivesThe16BitMonoBytes) {
    const struct {
        const char* kind;
        uint32_t channels;
        bool extensible;
        bool coarse; // 8-bit holds only multiples of 256
    } formats[] = {{"16", 2, false, false}, {"24", 1, false, false}, {"32", 1, false, false},
                   {"f32", 1, false, false}, {"f64", 3, false, false}, {"24", 8, true, false},
                   {"f32", 2, true, false}, {"8", 1, false, true}, {"8", 2, false, true}};
    for (int32_t tone_rate : {16000, 11025}) {
        for (const auto& f : formats) {
            std::vector<int32_t> s = samples(f.coarse);
            Encoded mono = encode(recording(s, "16", 1, 16000, false), tone_rate);
            Encoded other = encode(recording(s, f.kind, f.channels, 16000, f.extensible), tone_rate);
            ASSERT_EQ(other.result, RECORDING_OK);
            EXPECT_EQ(other.tone, mono.tone) << f.kind << " x" << f.channels << " at " << tone_rate;
        }
    }
}

// Equal rates: the 16-bit samples reach the encoder as they are.
TEST(EncodeRecording, EqualRatesKeepTheSamples) {
    std::vector<int32_t> s = samples(false);
    Bytes file = recording(s, "16", 1, 22050, false);
    MemoryBytes m{&file, INT64_MAX};
    WavInfo info;
    ASSERT_EQ(read_wav_info(memory_source(&m), &info), WAV_OK);
    std::vector<int16_t> target(s.size());
    RecordingReport report;
    ASSERT_EQ(read_tone_target(memory_source(&m), info, 22050, target.data(), target.size(), &report),
              RECORDING_OK);
    EXPECT_EQ(std::vector<int32_t>(target.begin(), target.end()), s);
    EXPECT_EQ(report.clamped, 0);
}

// Floats beyond full scale, infinities and NaN: clamped and counted, NaN
// silent; a full-scale square resampled overshoots and is counted too.
TEST(EncodeRecording, CountsClampedSamples) {
    const double values[] = {1.5, -1.0, -3.0, INFINITY, -INFINITY, NAN, 0.5, 1.0};
    Bytes data;
    for (double v : values) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        put32(data, static_cast<uint32_t>(bits));
        put32(data, static_cast<uint32_t>(bits >> 32));
    }
    Bytes file = riff({chunk("fmt ", fmt_body(3, 1, 8000, 64)), chunk("data", data)});
    MemoryBytes m{&file, INT64_MAX};
    WavInfo info;
    ASSERT_EQ(read_wav_info(memory_source(&m), &info), WAV_OK);
    std::vector<int16_t> target(8);
    RecordingReport report;
    ASSERT_EQ(read_tone_target(memory_source(&m), info, 8000, target.data(), 8, &report), RECORDING_OK);
    EXPECT_EQ(target, (std::vector<int16_t>{32767, -32768, -32768, 32767, -32768, 0, 16384, 32767}));
    EXPECT_EQ(report.clamped, 5);

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
    int64_t bytes = encoded_tone_bytes(tone_samples(info.frames, 44100, 16000));
    Bytes tone(static_cast<size_t>(bytes) + 32);
    ByteSource source = memory_source(&m);
    EXPECT_EQ(encode_recording(source, info, 16000, tone.data(), static_cast<size_t>(bytes) + 32, nullptr),
              RECORDING_WRONG_SIZE);
    EXPECT_EQ(encode_recording(source, info, 1999, tone.data(), static_cast<size_t>(bytes), nullptr),
              RECORDING_BAD_RATE);
    EXPECT_EQ(encode_recording(source, info, 55001, tone.data(), static_cast<size_t>(bytes), nullptr),
              RECORDING_BAD_RATE);
    EXPECT_EQ(encode(file, 16000, 3000).result, RECORDING_READ_ERROR);
    EXPECT_EQ(encode(file, 44100, 3000).result, RECORDING_READ_ERROR);
}

} // namespace
