// The codec: the decoder against codes worked by hand, the encoder never
// worse than the greedy codes, the tail back to silence from any state.
#include "audio/adpcm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

TEST(AdpcmDecode, CodesWorkedByHand) {
    struct Step {
        int code;
        int32_t x, step;
    };
    // d = (2L+1)*step/8, step = step*F[L]/64 clamped to [127, 24576].
    const Step steps[] = {
        {0, 15, 127},      // d 15; 127*57/64 = 113 -> 127
        {7, 253, 303},     // d 238; 127*153/64 = 303
        {15, -315, 724},   // d 568
        {12, -1129, 871},  // d 814 (9*724/8 = 814.5)
        {5, 68, 1388},     // d 1197
        {8, -105, 1236},   // d 173
    };
    AdpcmState s = adpcm_start();
    for (const Step& e : steps) {
        EXPECT_EQ(adpcm_decode_code(&s, e.code), e.x) << e.code;
        EXPECT_EQ(s.x, e.x);
        EXPECT_EQ(s.step, e.step);
    }
    const unsigned char bytes[] = {0x07, 0xFC, 0x58};
    std::vector<int16_t> out(6);
    adpcm_decode_tone(bytes, 3, out.data());
    EXPECT_EQ(out, (std::vector<int16_t>{15, 253, -315, -1129, 68, -105}));
}

TEST(AdpcmDecode, ClampsSampleAndStep) {
    AdpcmState s = adpcm_start();
    for (int i = 0; i < 20; i++) {
        adpcm_decode_code(&s, 7);
    }
    EXPECT_EQ(s.x, 32767);
    EXPECT_EQ(s.step, ADPCM_STEP_MAX);
    EXPECT_EQ(adpcm_decode_code(&s, 8), 32767 - 3072);
    EXPECT_EQ(s.step, 21888);
    for (int i = 0; i < 20; i++) {
        adpcm_decode_code(&s, 15);
    }
    EXPECT_EQ(s.x, -32768);
}

TEST(AdpcmGreedy, NearestStepOfTheRightSign) {
    const struct {
        AdpcmState state;
        int32_t target;
        int code;
    } cases[] = {
        {{0, 127}, 0, 0}, {{0, 127}, 31, 0}, {{0, 127}, 32, 1}, {{0, 127}, 100, 3},
        {{0, 127}, -1, 8}, {{0, 127}, -1000, 15}, {{500, 1000}, -500, 12}, {{32767, 24576}, -32768, 15},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(adpcm_greedy_code(c.state, c.target), c.code) << c.state.x << " " << c.target;
    }
}

TEST(AdpcmSize, WholeBlocksWithTheTail) {
    const int64_t tail = ADPCM_TAIL_CODES;
    const struct {
        int64_t samples, bytes;
    } cases[] = {{0, 0}, {-1, -1}, {1, 32}, {64 - tail, 32}, {65 - tail, 64}, {128 - tail, 64},
                 {129 - tail, 96}, {520000, (520000 + tail + 63) / 64 * 32}};
    for (const auto& c : cases) {
        EXPECT_EQ(encoded_tone_bytes(c.samples), c.bytes) << c.samples;
    }
}

// Greedy codes toward 0 from `state` for the tail's length: silence
// (step 127, |x| <= 15) must be reached and held over the last 4 codes.
bool tail_ends_silent(AdpcmState s) {
    for (int64_t i = 0; i < ADPCM_TAIL_CODES; i++) {
        adpcm_decode_code(&s, adpcm_greedy_code(s, 0));
        bool silent = s.step == ADPCM_STEP_MIN && std::abs(s.x) <= 15;
        if (i >= ADPCM_TAIL_CODES - 4 && !silent) {
            return false;
        }
    }
    return true;
}

TEST(AdpcmTail, SilentFromEveryExtremeState) {
    const int32_t steps[] = {127, 128, 303, 3000, 16384, 24575, 24576};
    for (int32_t step : steps) {
        for (int32_t x = -32768; x <= 32767; x++) {
            ASSERT_TRUE(tail_ends_silent(AdpcmState{x, step})) << x << " " << step;
        }
    }
}

// Signals for the encoder, 3000 samples (longer than one committed stretch
// of the search) or as given.
std::vector<int16_t> signal(int kind, int length = 3000) {
    std::vector<int16_t> s(static_cast<size_t>(length));
    uint32_t seed = 12345;
    for (int i = 0; i < length; i++) {
        double v = 0;
        seed = seed * 1103515245u + 12345u;
        switch (kind) {
        case 0: v = 12000 * std::sin(i * 0.05) + 3000 * std::sin(i * 0.71); break; // sines
        case 1: v = static_cast<int32_t>(seed >> 16) % 20000 - 10000; break;     // noise
        case 2: v = (i / 40) % 2 ? 20000 : -20000; break;                          // square
        case 3: v = 0; break;                                                      // silence
        case 4: v = 60000 * std::sin(i * 0.02); break;                             // clipped
        }
        s[static_cast<size_t>(i)] = static_cast<int16_t>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
    }
    return s;
}

int64_t squared_error(const std::vector<int16_t>& target, const std::vector<int16_t>& decoded) {
    int64_t error = 0;
    for (size_t i = 0; i < target.size(); i++) {
        int64_t d = target[i] - decoded[i];
        error += d * d;
    }
    return error;
}

TEST(AdpcmEncode, NeverWorseThanGreedyAndEndsSilent) {
    for (int kind = 0; kind < 5; kind++) {
        for (int length : {1, 77, 3000}) {
            std::vector<int16_t> target = signal(kind, length);
            size_t bytes = static_cast<size_t>(encoded_tone_bytes(length));
            std::vector<unsigned char> tone(bytes);
            AdpcmReport report;
            ASSERT_EQ(adpcm_encode_tone(target.data(), target.size(), ADPCM_BEAM_WIDTH, tone.data(),
                                        bytes, &report),
                      ADPCM_OK);
            std::vector<int16_t> decoded(2 * bytes);
            adpcm_decode_tone(tone.data(), bytes, decoded.data());
            int64_t error = squared_error(target, decoded);
            EXPECT_LE(error, report.greedy_error) << kind;
            EXPECT_EQ(error, report.kept_greedy ? report.greedy_error : report.search_error) << kind;
            for (size_t i = decoded.size() - 4; i < decoded.size(); i++) {
                EXPECT_LE(std::abs(decoded[i]), 15) << kind;
            }
        }
    }
}

// The search reports the error of the codes it writes, also over stretches
// committed while the search goes on, and beats greedy on a plain sine.
TEST(AdpcmSearch, ErrorMatchesItsCodes) {
    std::vector<int16_t> target = signal(0, 5000);
    std::vector<unsigned char> codes(target.size());
    int64_t error = adpcm_search_codes(target.data(), target.size(), ADPCM_BEAM_WIDTH, codes.data());
    AdpcmState s = adpcm_start();
    std::vector<int16_t> decoded;
    for (unsigned char c : codes) {
        decoded.push_back(adpcm_decode_code(&s, c));
    }
    EXPECT_EQ(squared_error(target, decoded), error);
    s = adpcm_start();
    EXPECT_LT(error, adpcm_greedy_codes(target.data(), target.size(), &s, codes.data()) * 0.8);
}

TEST(AdpcmEncode, RefusesAWrongSize) {
    std::vector<int16_t> target(100);
    unsigned char tone[96];
    EXPECT_EQ(adpcm_encode_tone(target.data(), 100, 8, tone, 64, nullptr), ADPCM_WRONG_SIZE);
    EXPECT_EQ(adpcm_encode_tone(target.data(), 100, ADPCM_BEAM_WIDTH_MAX + 1, tone, 96, nullptr),
              ADPCM_BAD_WIDTH);
    EXPECT_EQ(adpcm_encode_tone(target.data(), 0, 8, tone, 0, nullptr), ADPCM_OK);
}

// The same bytes on every platform: a fixed signal made with integers only
// (noise over a triangle) encodes to a fixed tone (FNV-1a of its bytes).
TEST(AdpcmEncode, SameBytesEverywhere) {
    std::vector<int16_t> target(3000);
    uint32_t seed = 1;
    for (int i = 0; i < 3000; i++) {
        seed = seed * 1103515245u + 12345u;
        int triangle = std::abs(i % 400 - 200) * 120 - 12000;
        target[static_cast<size_t>(i)] = static_cast<int16_t>(triangle + static_cast<int>(seed >> 20) - 2048);
    }
    size_t bytes = static_cast<size_t>(encoded_tone_bytes(3000));
    std::vector<unsigned char> tone(bytes);
    adpcm_encode_tone(target.data(), target.size(), ADPCM_BEAM_WIDTH, tone.data(), bytes, nullptr);
    uint32_t hash = 2166136261u;
    for (unsigned char b : tone) {
        hash = (hash ^ b) * 16777619u;
    }
    EXPECT_EQ(hash, 2433643899u);
}

} // namespace
