// The resampler: band-limited, linear-phase, with its delay taken out, so
// output sample n is the recording at time n / out_rate (input sample
// n * in_rate / out_rate). It is fed in pieces and keeps only the samples
// its filter still needs. All filtering is integer arithmetic, so every
// platform gives the same samples.
//
// Samples are 32-bit, full scale at +-2^23 (SAMPLE_FULL_SCALE).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

const int32_t SAMPLE_FULL_SCALE = 1 << 23;
// The filter reaches RESAMPLE_HALF_LENGTH periods of the lower rate either
// side of each output, sampled RESAMPLE_OVERSAMPLING times per period.
const int32_t RESAMPLE_HALF_LENGTH = 64;
const int32_t RESAMPLE_OVERSAMPLING = 256;

// A resampler's state. Made by resampler_init, then fed by resampler_push
// and resampler_finish; plain data, freed with it.
struct Resampler {
    int32_t in_rate;
    int32_t out_rate;
    int32_t max_rate;
    int64_t half_taps; // input samples used each side of an output
    int64_t taps;      // 2 * half_taps
    int64_t out_count; // outputs wanted in all
    int64_t made;      // outputs made so far
    // Input samples from index `base` (negative at first: the silence before
    // the recording), `used` of them held in `window`.
    int64_t base;
    size_t used;
    std::vector<int32_t> window;
    // The filter, RESAMPLE_OVERSAMPLING values per period of the lower rate,
    // scaled to 2^30 with the gain for the rates in it.
    std::vector<int32_t> prototype;
    uint64_t tap_step; // move along the prototype from one tap to the next, 32.32 fixed point
    // Coefficients of every output phase when they are few, else of the
    // output at hand.
    int64_t phase_unit; // gcd of the rates: output phases step by it
    bool cached;
    std::vector<int32_t> coefficients;
};

// Sets `r` up to turn `in_rate` samples into `out_count` samples at
// `out_rate` (rates 1..400000 and different). Returns 0, or -1 for rates
// outside that.
int resampler_init(Resampler* r, int32_t in_rate, int32_t out_rate, int64_t out_count);

// Feeds `count` more input samples and writes every output they complete to
// out[r->made...]; `out` holds out_count samples. Returns the outputs made
// so far.
int64_t resampler_push(Resampler* r, const int32_t* in, size_t count, int32_t* out);

// Ends the input (silence after it) and writes the remaining outputs.
// Returns out_count.
int64_t resampler_finish(Resampler* r, int32_t* out);

// The filter's prototype value at `u` periods of the lower rate from its
// centre, before scaling: a Kaiser-windowed sinc. Exposed for the tests.
double resample_prototype(double u);
