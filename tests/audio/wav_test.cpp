// The header reader: one table over formats, chunk layouts and refusals.
#include "audio/wav.h"
#include "wav_bytes.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

Bytes data_of(size_t n) {
    return Bytes(n, 0x11);
}

TEST(WavHeader, FormatsLayoutsAndRefusals) {
    const Bytes f16 = chunk("fmt ", fmt_body(1, 2, 44100, 16));
    const Bytes d400 = chunk("data", data_of(400));
    Bytes short_fmt = fmt_body(1, 1, 8000, 16);
    short_fmt.resize(14);
    Bytes short_ext = fmt_body(0xFFFE, 1, 8000, 16);
    short_ext.resize(30);
    Bytes bad_align = fmt_body(1, 2, 8000, 16);
    bad_align[12] = 3;
    Bytes bad_guid = fmt_body(0xFFFE, 1, 8000, 16);
    bad_guid[30] = 0x11;
    struct Case {
        const char* name;
        Bytes file;
        int result;
        WavInfo info; // format, bits, channels, rate, block_align, data_offset, frames, cut
    };
    const Case cases[] = {
        {"16-bit stereo", riff({f16, d400}), WAV_OK, {WAV_INTEGER, 16, 2, 44100, 4, 44, 100, false}},
        {"8-bit", riff({chunk("fmt ", fmt_body(1, 1, 8000, 8)), d400}), WAV_OK,
         {WAV_INTEGER, 8, 1, 8000, 1, 44, 400, false}},
        {"24-bit, partial frame dropped", riff({chunk("fmt ", fmt_body(1, 1, 48000, 24)), d400}), WAV_OK,
         {WAV_INTEGER, 24, 1, 48000, 3, 44, 133, false}},
        {"32-bit 8 channels", riff({chunk("fmt ", fmt_body(1, 8, 96000, 32)), d400}), WAV_OK,
         {WAV_INTEGER, 32, 8, 96000, 32, 44, 12, false}},
        {"float 32", riff({chunk("fmt ", fmt_body(3, 1, 1000, 32)), d400}), WAV_OK,
         {WAV_FLOAT, 32, 1, 1000, 4, 44, 100, false}},
        {"float 64", riff({chunk("fmt ", fmt_body(3, 1, 384000, 64)), d400}), WAV_OK,
         {WAV_FLOAT, 64, 1, 384000, 8, 44, 50, false}},
        {"extensible float", riff({chunk("fmt ", fmt_body(0xFFFE, 2, 22050, 32, 3)), d400}), WAV_OK,
         {WAV_FLOAT, 32, 2, 22050, 8, 68, 50, false}},
        {"extensible PCM", riff({chunk("fmt ", fmt_body(0xFFFE, 1, 22050, 24, 1)), d400}), WAV_OK,
         {WAV_INTEGER, 24, 1, 22050, 3, 68, 133, false}},
        {"odd chunk with pad, LIST first", riff({chunk("LIST", data_of(5)), chunk("junk", data_of(3)), f16, d400}),
         WAV_OK, {WAV_INTEGER, 16, 2, 44100, 4, 70, 100, false}},
        {"data before fmt", riff({d400, chunk("LIST", data_of(9)), f16}), WAV_OK,
         {WAV_INTEGER, 16, 2, 44100, 4, 20, 100, false}},
        {"data cut short", [&] { Bytes b = riff({f16, d400}); b.resize(b.size() - 99); return b; }(),
         WAV_OK, {WAV_INTEGER, 16, 2, 44100, 4, 44, 75, true}},
        {"stream, size 0xFFFFFFFF", riff({f16, chunk("data", data_of(400), 0xFFFFFFFF)}), WAV_OK,
         {WAV_INTEGER, 16, 2, 44100, 4, 44, 100, true}},
        {"stream, size 0", riff({f16, chunk("data", data_of(402), 0)}), WAV_OK,
         {WAV_INTEGER, 16, 2, 44100, 4, 44, 100, true}},
        {"empty data", riff({f16, chunk("data", {})}), WAV_OK, {WAV_INTEGER, 16, 2, 44100, 4, 44, 0, false}},
        {"not RIFF", Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, WAV_NOT_RECORDING, {}},
        {"too short", Bytes{'R', 'I', 'F', 'F'}, WAV_NOT_RECORDING, {}},
        {"no fmt", riff({d400}), WAV_NO_FORMAT, {}},
        {"fmt after a stream", riff({chunk("data", data_of(8), 0xFFFFFFFF), f16}), WAV_NO_FORMAT, {}},
        {"no data", riff({f16, chunk("LIST", data_of(4))}), WAV_NO_DATA, {}},
        {"fmt too short", riff({chunk("fmt ", short_fmt), d400}), WAV_FORMAT_TOO_SHORT, {}},
        {"extensible too short", riff({chunk("fmt ", short_ext), d400}), WAV_FORMAT_TOO_SHORT, {}},
        {"fmt cut by the end", [&] { Bytes b = riff({f16}); b.resize(b.size() - 4); return b; }(),
         WAV_FORMAT_TOO_SHORT, {}},
        {"IMA ADPCM", riff({chunk("fmt ", fmt_body(0x11, 1, 8000, 4)), d400}), WAV_COMPRESSED, {}},
        {"mu-law", riff({chunk("fmt ", fmt_body(7, 1, 8000, 8)), d400}), WAV_COMPRESSED, {}},
        {"A-law", riff({chunk("fmt ", fmt_body(6, 1, 8000, 8)), d400}), WAV_COMPRESSED, {}},
        {"MP3", riff({chunk("fmt ", fmt_body(0x55, 1, 8000, 0)), d400}), WAV_COMPRESSED, {}},
        {"extensible, other GUID", riff({chunk("fmt ", bad_guid), d400}), WAV_COMPRESSED, {}},
        {"extensible ADPCM", riff({chunk("fmt ", fmt_body(0xFFFE, 1, 8000, 16, 2)), d400}), WAV_COMPRESSED, {}},
        {"0 channels", riff({chunk("fmt ", fmt_body(1, 0, 8000, 16)), d400}), WAV_NO_CHANNELS, {}},
        {"9 channels", riff({chunk("fmt ", fmt_body(1, 9, 8000, 16)), d400}), WAV_TOO_MANY_CHANNELS, {}},
        {"0 rate", riff({chunk("fmt ", fmt_body(1, 1, 0, 16)), d400}), WAV_NO_RATE, {}},
        {"rate 999", riff({chunk("fmt ", fmt_body(1, 1, 999, 16)), d400}), WAV_RATE_RANGE, {}},
        {"rate 384001", riff({chunk("fmt ", fmt_body(1, 1, 384001, 16)), d400}), WAV_RATE_RANGE, {}},
        {"12-bit", riff({chunk("fmt ", fmt_body(1, 1, 8000, 12)), d400}), WAV_SAMPLE_SIZE, {}},
        {"16-bit float", riff({chunk("fmt ", fmt_body(3, 1, 8000, 16)), d400}), WAV_SAMPLE_SIZE, {}},
        {"block align", riff({chunk("fmt ", bad_align), d400}), WAV_BLOCK_ALIGN, {}},
    };
    for (const Case& c : cases) {
        MemoryBytes m{&c.file, INT64_MAX};
        WavInfo info;
        ASSERT_EQ(read_wav_info(memory_source(&m), &info), c.result) << c.name;
        if (c.result != WAV_OK) {
            continue;
        }
        auto fields = [](const WavInfo& w) {
            return std::make_tuple(w.format, w.bits, w.channels, w.rate, w.block_align,
                                   w.data_offset, w.frames, w.data_cut);
        };
        EXPECT_EQ(fields(info), fields(c.info)) << c.name;
    }
}

TEST(WavHeader, ReadErrorsAndRecognition) {
    const Bytes file = riff({chunk("LIST", data_of(4)), chunk("fmt ", fmt_body(1, 1, 8000, 16)),
                             chunk("data", data_of(10))});
    for (int64_t fail_from : {0, 12, 20, 40}) {
        MemoryBytes m{&file, fail_from};
        WavInfo info;
        EXPECT_EQ(read_wav_info(memory_source(&m), &info), WAV_READ_ERROR) << fail_from;
    }
    EXPECT_TRUE(is_recording(file.data(), 12));
    EXPECT_FALSE(is_recording(file.data(), 11));
}

// A walk over more chunks than it allows stops instead of reading on.
TEST(WavHeader, BoundedChunkWalk) {
    std::vector<Bytes> chunks(WAV_MAX_CHUNKS, chunk("pad ", {}));
    chunks.push_back(chunk("fmt ", fmt_body(1, 1, 8000, 16)));
    chunks.push_back(chunk("data", data_of(2)));
    Bytes file = riff(chunks);
    MemoryBytes m{&file, INT64_MAX};
    WavInfo info;
    EXPECT_EQ(read_wav_info(memory_source(&m), &info), WAV_NO_FORMAT);
}

TEST(ToneSamples, RoundsHalfUpExactly) {
    const struct {
        int64_t frames;
        int32_t from, to;
        int64_t samples;
    } cases[] = {{0, 44100, 16000, 0},
                 {1, 44100, 16000, 0},
                 {2, 44100, 16000, 1},
                 {441, 44100, 16000, 160},
                 {1, 32000, 16000, 1},
                 {3, 32000, 16000, 2},
                 {1323000, 44100, 16000, 480000},
                 {int64_t{1} << 40, 44099, 16001, 398949762036},
                 {-1, 8000, 8000, -1},
                 {5, 0, 8000, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(tone_samples(c.frames, c.from, c.to), c.samples) << c.frames;
    }
}

} // namespace
