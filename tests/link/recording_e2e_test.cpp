// Recordings named in a list, end to end: sized from their header, encoded
// into the bank, refused when the format or the rate is not one to take.
#include "audio/recording.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

void put(Bytes& b, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; i++) {
        b += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// A WAV file: format `tag`, its samples `data`, and a data size field that
// is the data's own unless given.
Bytes wav_file(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits, const Bytes& data,
               int64_t size_field = -1) {
    Bytes b = "RIFF";
    put(b, static_cast<uint32_t>(36 + data.size()), 4);
    b += "WAVEfmt ";
    put(b, 16, 4), put(b, tag, 2), put(b, channels, 2), put(b, rate, 4);
    put(b, rate * channels * bits / 8, 4), put(b, channels * bits / 8, 2), put(b, bits, 2);
    b += "data";
    put(b, static_cast<uint32_t>(size_field < 0 ? data.size() : size_field), 4);
    return b + data;
}

// `count` 16-bit samples of a ramp that climbs by `step`.
Bytes ramp16(size_t count, int step) {
    Bytes b;
    for (size_t i = 0; i < count; i++) {
        put(b, static_cast<uint32_t>(static_cast<int>(i) * step - 8000) & 0xFFFF, 2);
    }
    return b;
}

int read_bytes(void* context, int64_t offset, unsigned char* dest, size_t count) {
    const Bytes* bytes = static_cast<const Bytes*>(context);
    std::memcpy(dest, bytes->data() + offset, count);
    return 0;
}

// The tone the program must make of `file` at `rate`, encoded here from the
// bytes in memory.
Bytes encoded(const Bytes& file, int32_t rate) {
    ByteSource source{const_cast<Bytes*>(&file), static_cast<int64_t>(file.size()), read_bytes};
    WavInfo info;
    EXPECT_EQ(read_wav_info(source, &info), WAV_OK);
    Bytes tone(static_cast<size_t>(encoded_tone_bytes(tone_samples(info.frames, info.rate, rate))),
               '\0');
    EXPECT_EQ(encode_recording(source, info, rate, reinterpret_cast<unsigned char*>(&tone[0]),
                               tone.size(), nullptr),
              RECORDING_OK);
    return tone;
}

TEST(Recording, EncodedSizedAndRefused) {
    ScratchDir dir;
    const Bytes mono = wav_file(1, 1, 16000, 16, ramp16(1000, 16));
    const Bytes floats = wav_file(3, 1, 8000, 32, Bytes("\0\0\xC0\x3F\0\0\xC0\xBF", 8)); // +-1.5
    const Bytes mulaw = wav_file(7, 1, 8000, 8, Bytes(100, 'x'));
    const Bytes cut = wav_file(1, 2, 44100, 16, ramp16(600, 3), 0xFFFFFFFF);
    write_file(dir / "kick.pcm", mono); // a recording by its bytes, whatever its name
    write_file(dir / "F.WAV", floats);
    write_file(dir / "U.WAV", mulaw);
    write_file(dir / "C.WAV", cut);
    const Bytes head = "  [QORVELIX] PPC-Filename [OUT.PPC]\n";
    struct Case {
        Bytes list;
        int status;
        Bytes out; // after the tone lines
        Bytes tone;
    };
    const Case cases[] = {
        {"0\tkick.pcm\n", 0,
         "  [QORVELIX] recording [kick.pcm] 16000 Hz 1 ch -> 16000 Hz, 1000 samples, 62 ms\n"
         "  [QORVELIX] Totalsize : 1600 bytes (0037)\n",
         encoded(mono, 16000)},
        {"0\tkick.pcm\t22050\n", 0,
         "  [QORVELIX] recording [kick.pcm] 16000 Hz 1 ch -> 22050 Hz, 1378 samples, 62 ms\n"
         "  [QORVELIX] Totalsize : 1792 bytes (003D)\n",
         encoded(mono, 22050)},
        {"0\tC.WAV\t0\n", 0,
         "  [QORVELIX] recording [C.WAV] 44100 Hz 2 ch -> 16000 Hz, 109 samples, 6 ms\n"
         "W [QORVELIX] WAV data cut short, read to the end of the file [C.WAV]\n"
         "  [QORVELIX] Totalsize : 1152 bytes (0029)\n",
         encoded(cut, 16000)},
        {"0\tF.WAV\t8000\n", 0,
         "  [QORVELIX] recording [F.WAV] 8000 Hz 1 ch -> 8000 Hz, 2 samples, 0 ms\n"
         "  [QORVELIX] Totalsize : 1088 bytes (0027)\n"
         "W [QORVELIX] 2 samples clamped to full scale [F.WAV]\n",
         encoded(floats, 8000)},
        {"0\tkick.pcm\t1999\n", 1, "E [QORVELIX] BAD Rate, line.2\n", ""},
        {"0\tkick.pcm\t55001\n", 1, "E [QORVELIX] BAD Rate, line.2\n", ""},
        {"0\tkick.pcm\t-16000\n", 1, "E [QORVELIX] BAD Rate, line.2\n", ""},
        {"0\tU.WAV\n", 1, "E [QORVELIX] BAD WAV-Format [U.WAV].\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        write_file(dir / "OUT.PPC", "old");
        RunResult r = link_list(dir, ";\n*\tOUT.PPC\n" + c.list);
        size_t tab = c.list.find('\t'), end = c.list.find_first_of("\t\n", tab + 1);
        Bytes field3 = c.list[end] == '\t' ? c.list.substr(end + 1, c.list.size() - end - 2) : "0";
        char tone_line[200];
        std::snprintf(tone_line, sizeof tone_line, "  [QORVELIX] tone:  0 [%s/%3d]\n",
                      c.list.substr(tab + 1, end - tab - 1).c_str(), std::atoi(field3.c_str()));
        expect_run(r, c.status, framed(head + tone_line + c.out), c.status == 0 ? DONE_OUT : "");
        Bytes bank = read_file(dir / "OUT.PPC");
        EXPECT_EQ(bank.size() > 1056 ? bank.substr(1056) : bank, c.status == 0 ? c.tone : "old");
    }
}

// A recording too long for any bank is refused from its header at once,
// before any of its samples is read.
TEST(Recording, TooLongIsRefusedFromItsHeader) {
    ScratchDir dir;
    if (!make_sparse_file(dir / "LONG.WAV", int64_t{1} << 30)) {
        GTEST_SKIP() << "no sparse files here";
    }
    ASSERT_TRUE(patch_file(dir / "LONG.WAV", 0, wav_file(1, 2, 44100, 16, "", (1u << 30) - 44)));
    RunResult r = link_list(dir, "*\tOUT.PPC\n0\tLONG.WAV\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "E [QORVELIX] TOO Large PPC-File, 48696864 bytes\n");
    EXPECT_FALSE(file_exists(dir / "OUT.PPC"));
}

} // namespace
