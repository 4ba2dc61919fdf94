// The resampler: gain and timing of a sine, exact length, the stopband, and
// the same output however the input is cut into pieces.
#include "audio/resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

const double PI = 3.14159265358979323846;

std::vector<int32_t> resample(const std::vector<int32_t>& in, int32_t from, int32_t to,
                              int64_t count, size_t piece) {
    Resampler r;
    EXPECT_EQ(resampler_init(&r, from, to, count), 0);
    std::vector<int32_t> out(static_cast<size_t>(count));
    for (size_t i = 0; i < in.size(); i += piece) {
        resampler_push(&r, in.data() + i, std::min(piece, in.size() - i), out.data());
    }
    EXPECT_EQ(resampler_finish(&r, out.data()), count);
    return out;
}

std::vector<int32_t> sine(double freq, int32_t rate, size_t length, double amplitude) {
    std::vector<int32_t> s(length);
    for (size_t i = 0; i < length; i++) {
        s[i] = static_cast<int32_t>(std::lround(amplitude * std::sin(2 * PI * freq * i / rate)));
    }
    return s;
}

// Amplitude and phase of the sine at `freq` in the middle half of `y`
// (y[n] = amplitude * sin(2 pi freq n / rate + phase)), through a Hann
// window so that another sine nearby leaks nothing measurable.
void measure(const std::vector<int32_t>& y, double freq, int32_t rate, double* amplitude,
             double* phase) {
    size_t first = y.size() / 4, length = y.size() / 2;
    double re = 0, im = 0, weights = 0;
    for (size_t i = 0; i < length; i++) {
        double w = 0.5 - 0.5 * std::cos(2 * PI * (i + 0.5) / length);
        double angle = 2 * PI * freq * (first + i) / rate;
        re += w * y[first + i] * std::sin(angle);
        im += w * y[first + i] * std::cos(angle);
        weights += w;
    }
    *amplitude = 2 * std::sqrt(re * re + im * im) / weights;
    *phase = std::atan2(im, re);
}

struct Rates {
    int32_t from, to;
};
const Rates RATES[] = {{44100, 16000}, {16000, 44100}, {48000, 8000},
                       {44099, 16001}, {8000, 11025},  {22050, 16000}};

// In the passband (up to 0.9 of the lower Nyquist frequency) a sine keeps
// its amplitude within 0.1 dB and its phase: output sample n is input time
// n * from / to, so no delay is left.
TEST(Resampler, PassbandGainAndTiming) {
    for (const Rates& r : RATES) {
        int32_t low = std::min(r.from, r.to);
        for (double rel : {0.02, 0.2, 0.45}) {
            double freq = rel * low;
            std::vector<int32_t> in = sine(freq, r.from, static_cast<size_t>(r.from / 4), 4e6);
            int64_t count = (int64_t{r.from / 4} * r.to * 2 + r.from) / (2 * int64_t{r.from});
            std::vector<int32_t> out = resample(in, r.from, r.to, count, 1000);
            double amplitude, phase;
            measure(out, freq, r.to, &amplitude, &phase);
            EXPECT_LT(std::fabs(20 * std::log10(amplitude / 4e6)), 0.1)
                << r.from << ">" << r.to << " at " << freq;
            EXPECT_LT(std::fabs(phase), 1e-3) << r.from << ">" << r.to << " at " << freq;
        }
    }
}

// From the lower Nyquist frequency up, at least 80 dB down: what an input
// above it leaves at its alias (downsampling) or at the image of an input
// below it (upsampling).
TEST(Resampler, Stopband) {
    for (const Rates& r : RATES) {
        int32_t low = std::min(r.from, r.to);
        for (double rel : {0.505, 0.55, 0.7, 0.95}) {
            double freq = rel * low; // as heard in the output
            double input = r.from < r.to ? r.from - freq : freq;
            if (input >= r.from / 2.0) {
                continue;
            }
            std::vector<int32_t> in = sine(input, r.from, static_cast<size_t>(r.from / 4), 4e6);
            int64_t count = (int64_t{r.from / 4} * r.to * 2 + r.from) / (2 * int64_t{r.from});
            std::vector<int32_t> out = resample(in, r.from, r.to, count, 4096);
            double heard = std::fmod(freq, r.to);
            heard = heard > r.to / 2.0 ? r.to - heard : heard;
            double amplitude, phase;
            measure(out, heard, r.to, &amplitude, &phase);
            EXPECT_LT(20 * std::log10(amplitude / 4e6), -80)
                << r.from << ">" << r.to << " at " << freq;
        }
    }
}

TEST(Resampler, SameOutputWhateverThePieces) {
    std::vector<int32_t> in = sine(3000, 44099, 20000, 6e6);
    for (size_t i = 0; i < in.size(); i += 7) {
        in[i] += 100000;
    }
    for (const Rates& r : {Rates{44099, 16001}, Rates{44100, 16000}, Rates{8000, 44100}}) {
        int64_t count = (20000 * int64_t{r.to} * 2 + r.from) / (2 * int64_t{r.from});
        std::vector<int32_t> whole = resample(in, r.from, r.to, count, in.size());
        EXPECT_EQ(resample(in, r.from, r.to, count, 1), whole);
        EXPECT_EQ(resample(in, r.from, r.to, count, 997), whole);
    }
}

// A lone impulse at time 0 peaks at output 0, with nothing from before the
// recording: the silence around it adds nothing.
TEST(Resampler, EdgesAreSilence) {
    std::vector<int32_t> in(1000, 0);
    in[0] = SAMPLE_FULL_SCALE;
    std::vector<int32_t> out = resample(in, 32000, 16000, 500, 64);
    EXPECT_NEAR(out[0], SAMPLE_FULL_SCALE * 0.475, SAMPLE_FULL_SCALE * 0.001);
    for (size_t i = 1; i < out.size(); i++) {
        EXPECT_LT(std::abs(out[i]), std::abs(out[0])) << i;
    }
}

// The same samples on every platform (FNV-1a of an awkward ratio's output).
TEST(Resampler, SameSamplesEverywhere) {
    std::vector<int32_t> in(5000);
    uint32_t seed = 7;
    for (int32_t& v : in) {
        seed = seed * 1103515245u + 12345u;
        v = static_cast<int32_t>(seed >> 8) - (1 << 23);
    }
    uint32_t hash = 2166136261u;
    for (int32_t v : resample(in, 44099, 16001, 1814, 1000)) {
        for (int k = 0; k < 4; k++) {
            hash = (hash ^ ((static_cast<uint32_t>(v) >> (8 * k)) & 0xFF)) * 16777619u;
        }
    }
    EXPECT_EQ(hash, 1722897616u);
}

} // namespace
