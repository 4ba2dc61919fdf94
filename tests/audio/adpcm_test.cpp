// The codec: the decoder against codes worked by hand, the encoder never
// worse than the greedy codes, the tail back to silence from any state.
#include "audio/adpcm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

TEST(AdpcmDecode, CodesWorkedByHand) {
    // d = (2L+1)*step/8, step = step*F[L]/64 clamped to [127, 24576].
    const struct {
        int code;
        int32_t x, step;
    } steps[] = {
        {0, 15, 127},     // d 15; 127*57/64 = 113, held at 127
        {7, 253, 303},    // d 238; 127*153/64 = 303
        {15, -315, 724},  // d 568
        {12, -1129, 871}, // d 814 (9*724/8 = 814.5)
        {5, 68, 1388},    // d 1197
        {8, -105, 1236},  // d 173
    };
    AdpcmState s = adpcm_start();
    for (const auto& e : steps) {
        EXPECT_EQ(adpcm_decode_code(&s, e.code), e.x) << e.code;
        EXPECT_EQ(s.step, e.step) << e.code;
    }
    const unsigned char bytes[] = {0x07, 0xFC, 0x58};
    std::vector<int16_t> out(6);
    adpcm_decode_tone(bytes, 3, out.data());
    EXPECT_EQ(out, (std::vector<int16_t>{15, 253, -315, -1129, 68, -105}));
    // Both values clamp.
    for (int i = 0; i < 20; i++) {
        adpcm_decode_code(&s, 7);
    }
    EXPECT_EQ(s.x, 32767);
    EXPECT_EQ(s.step, ADPCM_STEP_MAX);
    EXPECT_EQ(adpcm_decode_code(&s, 8), 32767 - 3072);
    EXPECT_EQ(s.step, 21888);
}

TEST(AdpcmGreedy, NearestStepOfTheRightSign) {
    const struct {
        AdpcmState state;
        int32_t target;
        int code;
    } cases[] = {{{0, 127}, 0, 0},
                 {{0, 127}, 31, 0},
                 {{0, 127}, 32, 1},
                 {{0, 127}, -1, 8},
                 {{0, 127}, -1000, 15},
                 {{500, 1000}, -500, 12},
                 {{32767, 24576}, -32768, 15}};
    for (const auto& c : cases) {
        EXPECT_EQ(adpcm_greedy_code(c.state, c.target), c.code) << c.state.x << " " << c.target;
    }
}

TEST(AdpcmSize, WholeBlocksWithTheTail) {
    const int64_t tail = ADPCM_TAIL_CODES;
    const int64_t cases[][2] = {{0, 0},          {-1, -1},         {1, 32},         {64 - tail, 32},
                                {65 - tail, 64}, {128 - tail, 64}, {129 - tail, 96}};
    for (const auto& c : cases) {
        EXPECT_EQ(encoded_tone_bytes(c[0]), c[1]) << c[0];
    }
}

// The tail's greedy codes toward 0 reach silence (step 127, |x| <= 15) and
// hold it over the last 4 codes from every x with extreme and middle steps.
TEST(AdpcmTail, SilentFromEveryExtremeState) {
    for (int32_t step : {127, 128, 303, 3000, 16384, 24575, 24576}) {
        for (int32_t x = -32768; x <= 32767; x++) {
            AdpcmState s{x, step};
            for (int64_t i = 0; i < ADPCM_TAIL_CODES; i++) {
                adpcm_decode_code(&s, adpcm_greedy_code(s, 0));
                if (i >= ADPCM_TAIL_CODES - 4) {
                    ASSERT_TRUE(s.step == ADPCM_STEP_MIN && std::abs(s.x) <= 15)
                        << x << " " << step;
                }
            }
        }
    }
}

// Sines, noise, a square, silence and a clipped sine; 3000 samples is
// longer than one stretch the search commits while it goes on.
std::vector<int16_t> signal(int kind, int length) {
    std::vector<int16_t> s;
    uint32_t seed = 12345;
    for (int i = 0; i < length; i++) {
        seed = seed * 1103515245u + 12345u;
        double v = kind == 0   ? 12000 * std::sin(i * 0.05) + 3000 * std::sin(i * 0.71)
                   : kind == 1 ? static_cast<double>(seed >> 16) / 65536 * 20000 - 10000
                   : kind == 2 ? ((i / 40) % 2 ? 20000 : -20000)
                   : kind == 3 ? 0
                               : std::max(-32768.0, std::min(32767.0, 60000 * std::sin(i * 0.02)));
        s.push_back(static_cast<int16_t>(v));
    }
    return s;
}

// The error of the decoded `tone` against `target`, over the target.
int64_t decoded_error(const std::vector<int16_t>& target, const std::vector<unsigned char>& tone) {
    std::vector<int16_t> decoded(2 * tone.size());
    adpcm_decode_tone(tone.data(), tone.size(), decoded.data());
    int64_t error = 0;
    for (size_t i = 0; i < target.size(); i++) {
        error += int64_t{target[i] - decoded[i]} * (target[i] - decoded[i]);
    }
    return error;
}

// Tones of 2 and 3 samples end before the search can look 3 samples ahead.
TEST(AdpcmEncode, NeverWorseThanGreedyAndEndsSilent) {
    for (int kind = 0; kind < 5; kind++) {
        for (int length : {1, 2, 3, 77, 3000}) {
            std::vector<int16_t> target = signal(kind, length);
            size_t bytes = static_cast<size_t>(encoded_tone_bytes(length));
            std::vector<unsigned char> tone(bytes);
            AdpcmReport report;
            ASSERT_EQ(adpcm_encode_tone(target.data(), target.size(), ADPCM_BEAM_WIDTH, tone.data(),
                                        bytes, &report),
                      ADPCM_OK);
            std::vector<int16_t> decoded(2 * bytes);
            adpcm_decode_tone(tone.data(), bytes, decoded.data());
            int64_t error = 0;
            for (size_t i = 0; i < target.size(); i++) {
                error += int64_t{target[i] - decoded[i]} * (target[i] - decoded[i]);
            }
            // The reported error is that of the codes written, the search's
            // when it was better.
            EXPECT_LE(error, report.greedy_error) << kind;
            EXPECT_EQ(error, report.kept_greedy ? report.greedy_error : report.search_error)
                << kind;
            if (kind == 0 && length == 3000) {
                EXPECT_LT(error, report.greedy_error * 0.8);
            }
            // Greedy codes trail every edge of the square by several
            // samples; the search grows the step before it.
            if (kind == 2 && length == 3000) {
                EXPECT_LT(error, report.greedy_error / 10);
            }
            for (size_t i = decoded.size() - 4; i < decoded.size(); i++) {
                EXPECT_LE(std::abs(decoded[i]), 15) << kind;
            }
        }
    }
}

// From one path to the widest search, the reported error is that of the
// bytes written and never above greedy's.
TEST(AdpcmEncode, EveryWidthUpToTheWidest) {
    for (int width : {1, 2, 3, ADPCM_BEAM_WIDTH_MAX}) {
        for (int kind : {0, 1, 2}) {
            std::vector<int16_t> target = signal(kind, 3000);
            std::vector<unsigned char> tone(static_cast<size_t>(encoded_tone_bytes(3000)));
            AdpcmReport report;
            ASSERT_EQ(adpcm_encode_tone(target.data(), target.size(), width, tone.data(),
                                        tone.size(), &report),
                      ADPCM_OK);
            int64_t error = decoded_error(target, tone);
            EXPECT_LE(error, report.greedy_error) << width << " " << kind;
            EXPECT_EQ(error, report.kept_greedy ? report.greedy_error : report.search_error)
                << width << " " << kind;
        }
    }
}

TEST(AdpcmEncode, RefusesAWrongSizeOrWidth) {
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
        target[static_cast<size_t>(i)] =
            static_cast<int16_t>(triangle + static_cast<int>(seed >> 20) - 2048);
    }
    size_t bytes = static_cast<size_t>(encoded_tone_bytes(3000));
    std::vector<unsigned char> tone(bytes);
    adpcm_encode_tone(target.data(), target.size(), ADPCM_BEAM_WIDTH, tone.data(), bytes, nullptr);
    uint32_t hash = 2166136261u;
    for (unsigned char b : tone) {
        hash = (hash ^ b) * 16777619u;
    }
    EXPECT_EQ(hash, 1214355818u);
}

} // namespace
