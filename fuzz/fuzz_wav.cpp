// The WAV reader and the road from a recording to a tone, over any bytes.
// Every read the reader asks for must lie inside the source; an accepted
// header must describe data inside it; a recording small enough to encode
// quickly must encode into exactly the size predicted from the header and
// end in silence.
#include "audio/recording.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Tones longer than this are not encoded: a run must stay fast.
const int64_t MAX_SAMPLES = 20000;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_wav: %s\n", what);
    std::abort();
}

struct Input {
    const uint8_t* data;
    size_t size;
};

int read_input(void* context, int64_t offset, unsigned char* dest, size_t count) {
    const Input* in = static_cast<const Input*>(context);
    if (offset < 0 || count > in->size || static_cast<uint64_t>(offset) > in->size - count) {
        fail("a read outside the source");
    }
    std::memcpy(dest, in->data + offset, count);
    return 0;
}

void encode_at(const ByteSource& source, const WavInfo& info, int32_t rate) {
    int64_t samples = tone_samples(info.frames, info.rate, rate);
    if (samples > MAX_SAMPLES) {
        return;
    }
    int64_t bytes = encoded_tone_bytes(samples);
    if (bytes % 32 != 0 || (samples > 0 && bytes * 2 < samples + ADPCM_TAIL_CODES)) {
        fail("a tone size that does not hold the samples and the tail");
    }
    std::vector<unsigned char> tone(static_cast<size_t>(bytes));
    RecordingReport report;
    if (encode_recording(source, info, rate, tone.data(), tone.size(), &report) != RECORDING_OK) {
        fail("an accepted recording did not encode into its predicted size");
    }
    if (report.samples != samples || report.clamped < 0 || report.clamped > samples) {
        fail("wrong counts reported");
    }
    std::vector<int16_t> decoded(tone.size() * 2);
    adpcm_decode_tone(tone.data(), tone.size(), decoded.data());
    for (size_t i = decoded.size() >= 4 ? decoded.size() - 4 : 0; i < decoded.size(); i++) {
        if (decoded[i] > 15 || decoded[i] < -15) {
            fail("a tone that does not end in silence");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    ByteSource source{&in, static_cast<int64_t>(size), read_input};
    WavInfo info;
    int result = read_wav_info(source, &info);
    if (result > WAV_OK || result < WAV_BLOCK_ALIGN) {
        fail("an unknown result");
    }
    if (result != WAV_OK) {
        return 0;
    }
    if (info.channels < 1 || info.channels > WAV_MAX_CHANNELS || info.rate < WAV_MIN_RATE ||
        info.rate > WAV_MAX_RATE || info.block_align != info.channels * info.bits / 8 ||
        info.data_offset < 12 || info.frames < 0 ||
        info.data_offset + info.frames * info.block_align > static_cast<int64_t>(size)) {
        fail("an accepted header out of bounds");
    }
    // The recording's own rate (no resampling) when a tone can have it, and
    // 16 kHz through the resampler.
    if (info.rate >= TONE_MIN_RATE && info.rate <= TONE_MAX_RATE) {
        encode_at(source, info, info.rate);
    }
    if (info.rate != 16000) {
        encode_at(source, info, 16000);
    }
    return 0;
}
