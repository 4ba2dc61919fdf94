#include "resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// The filter is a sinc cut off at 0.475 of the lower rate, half way between
// the top of the passband (0.45: 0.9 of its Nyquist frequency) and its
// Nyquist frequency, under a Kaiser window of 2 * 64 periods with beta 10.
// The prototype is rounded to 30-bit integers and read between its 256
// points per period by linear interpolation (15-bit weights); measured with
// sines, the passband stays within 0.0002 dB and the stopband, from the
// lower rate's Nyquist frequency up, more than 100 dB down, for every ratio
// tried (44100:16000 and back, 48000:8000, 44099:16001, 384000:2000, ...).
//
// The prototype is designed in double precision with + - * / and sqrt only,
// which IEEE arithmetic rounds the same way everywhere: sin and the Bessel
// function are this file's own series, because the C libraries' sin, cos and
// exp differ in their last bits. Then it is rounded to integers, and all
// filtering after that is integer arithmetic.

namespace {

const double PI = 3.14159265358979323846;
const double CUTOFF = 0.475;
const double KAISER_BETA = 10.0;
const int PROTOTYPE_SHIFT = 30;
const int WEIGHT_BITS = 15;
// Most coefficients kept for the phases of one rate pair (4 MiB).
const int64_t MAX_CACHED = int64_t{1} << 20;

// sin(pi * z): z is brought to [-1/2, 1/2] by taking off the nearest
// integer n (sin(pi * (n + f)) = (-1)^n sin(pi * f)), then the Taylor series
// to the 25th power, past double precision there.
double sin_pi(double z) {
    double shifted = z < 0 ? z - 0.5 : z + 0.5;
    int64_t n = static_cast<int64_t>(shifted); // rounds toward zero
    double y = PI * (z - static_cast<double>(n));
    double y2 = y * y;
    double term = y;
    double sum = y;
    for (int k = 1; k <= 12; k++) {
        term = -term * y2 / static_cast<double>((2 * k) * (2 * k + 1));
        sum += term;
    }
    return (n & 1) ? -sum : sum;
}

// The modified Bessel function I0(x) = sum over k of ((x/2)^k / k!)^2,
// summed until a term can no longer change the sum (past the largest term,
// below half a unit in its last place), at most 60 terms.
double bessel_i0(double x) {
    double quarter = x * x / 4;
    double term = 1;
    double sum = 1;
    for (int k = 1; k <= 60 && term >= sum * 1e-17; k++) {
        term = term * quarter / static_cast<double>(k * k);
        sum += term;
    }
    return sum;
}

// round(value) half away from zero, for |value| < 2^62.
int64_t round_to_integer(double value) {
    int64_t whole = static_cast<int64_t>(value);
    double rest = value - static_cast<double>(whole);
    if (rest >= 0.5) {
        whole++;
    } else if (rest <= -0.5) {
        whole--;
    }
    return whole;
}

int64_t gcd(int64_t a, int64_t b) {
    while (b != 0) {
        int64_t t = a % b;
        a = b;
        b = t;
    }
    return a;
}

// value >> shift rounded to nearest, half up, for any sign.
inline int64_t shift_round(int64_t value, int shift) {
    // Right shifts of negative values are arithmetic on every compiler the
    // project uses; floor division by 2^shift.
    return (value + (int64_t{1} << (shift - 1))) >> shift;
}

// Fills `dest` with the `r->taps` coefficients of an output whose time lies
// `remainder` / out_rate input samples after an input sample.
void phase_coefficients(const Resampler* r, int64_t remainder, int32_t* dest) {
    // The first tap is half_taps - 1 inputs before that sample, at
    // u = (remainder + (half_taps - 1) * out_rate) / max_rate periods of the
    // lower rate after the centre; the prototype starts at u = -(L + 1).
    int64_t numerator = (remainder + (r->half_taps - 1) * r->out_rate +
                         int64_t{RESAMPLE_HALF_LENGTH + 1} * r->max_rate) *
                        RESAMPLE_OVERSAMPLING;
    uint64_t whole = static_cast<uint64_t>(numerator / r->max_rate);
    uint64_t part = static_cast<uint64_t>(numerator % r->max_rate);
    uint64_t position = whole << 32 | (part << 32) / static_cast<uint64_t>(r->max_rate);
    const int32_t* table = r->prototype.data();
    for (int64_t j = 0; j < r->taps; j++) {
        size_t k = static_cast<size_t>(position >> 32);
        int64_t weight =
            static_cast<int64_t>(position >> (32 - WEIGHT_BITS)) & ((1 << WEIGHT_BITS) - 1);
        int64_t slope = int64_t{table[k + 1]} - table[k];
        dest[j] = static_cast<int32_t>(table[k] + ((slope * weight) >> WEIGHT_BITS));
        position -= r->tap_step;
    }
}

// Makes every output whose inputs are all in the window.
void make_outputs(Resampler* r, int32_t* out) {
    while (r->made < r->out_count) {
        int64_t n = r->made;
        int64_t scaled = n * r->in_rate;
        int64_t centre = scaled / r->out_rate;
        int64_t remainder = scaled - centre * r->out_rate;
        int64_t first = centre - r->half_taps + 1;
        if (first + r->taps > r->base + static_cast<int64_t>(r->used)) {
            break;
        }
        const int32_t* coefficients;
        if (r->cached) {
            coefficients =
                &r->coefficients[static_cast<size_t>(remainder / r->phase_unit * r->taps)];
        } else {
            phase_coefficients(r, remainder, r->coefficients.data());
            coefficients = r->coefficients.data();
        }
        const int32_t* input = &r->window[static_cast<size_t>(first - r->base)];
        int64_t sum = 0;
        for (int64_t j = 0; j < r->taps; j++) {
            sum += int64_t{coefficients[j]} * input[j];
        }
        int64_t value = shift_round(sum, PROTOTYPE_SHIFT);
        out[n] =
            static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(value, INT32_MIN), INT32_MAX));
        r->made++;
    }
}

// Appends `count` samples (silence when `in` is null) to the window, first
// dropping what no output still needs.
void append(Resampler* r, const int32_t* in, size_t count) {
    int64_t needed_from = (r->made * r->in_rate) / r->out_rate - r->half_taps + 1;
    int64_t drop = std::min<int64_t>(needed_from - r->base, static_cast<int64_t>(r->used));
    if (drop > 0 && static_cast<size_t>(drop) * 2 >= r->used) {
        std::memmove(r->window.data(), r->window.data() + drop,
                     (r->used - static_cast<size_t>(drop)) * sizeof(int32_t));
        r->used -= static_cast<size_t>(drop);
        r->base += drop;
    }
    if (r->used + count > r->window.size()) {
        r->window.resize(r->used + count);
    }
    if (in != nullptr) {
        std::memcpy(r->window.data() + r->used, in, count * sizeof(int32_t));
    } else {
        std::memset(r->window.data() + r->used, 0, count * sizeof(int32_t));
    }
    r->used += count;
}

} // namespace

double resample_prototype(double u) {
    double edge = u / RESAMPLE_HALF_LENGTH;
    if (edge <= -1 || edge >= 1) {
        return 0;
    }
    double window = bessel_i0(KAISER_BETA * std::sqrt(1 - edge * edge)) / bessel_i0(KAISER_BETA);
    double z = 2 * CUTOFF * u;
    double sinc = z == 0 ? 1 : sin_pi(z) / (PI * z);
    return 2 * CUTOFF * sinc * window;
}

int resampler_init(Resampler* r, int32_t in_rate, int32_t out_rate, int64_t out_count) {
    if (in_rate <= 0 || out_rate <= 0 || in_rate > 400000 || out_rate > 400000 ||
        in_rate == out_rate || out_count < 0) {
        return -1;
    }
    r->in_rate = in_rate;
    r->out_rate = out_rate;
    r->max_rate = std::max(in_rate, out_rate);
    // Inputs within L periods of the lower rate: L * max_rate / out_rate
    // input samples, rounded up.
    r->half_taps = (int64_t{RESAMPLE_HALF_LENGTH} * r->max_rate + out_rate - 1) / out_rate;
    r->taps = 2 * r->half_taps;
    r->out_count = out_count;
    r->made = 0;
    // The silence before the recording.
    r->base = -r->half_taps;
    r->used = static_cast<size_t>(r->half_taps);
    r->window.assign(r->used, 0);

    // Downsampling lowers the gain by out_rate / in_rate, as the taps are
    // that much closer together on the prototype; upsampling keeps it.
    double gain = static_cast<double>(out_rate) / r->max_rate *
                  static_cast<double>(int64_t{1} << PROTOTYPE_SHIFT);
    int64_t points = int64_t{2} * (RESAMPLE_HALF_LENGTH + 1) * RESAMPLE_OVERSAMPLING + 2;
    r->prototype.assign(static_cast<size_t>(points), 0);
    int64_t centre = int64_t{RESAMPLE_HALF_LENGTH + 1} * RESAMPLE_OVERSAMPLING;
    for (int64_t k = 0; k <= centre; k++) {
        double u = static_cast<double>(k) / RESAMPLE_OVERSAMPLING;
        int32_t value = static_cast<int32_t>(round_to_integer(resample_prototype(u) * gain));
        r->prototype[static_cast<size_t>(centre + k)] = value;
        r->prototype[static_cast<size_t>(centre - k)] = value;
    }
    r->tap_step = (static_cast<uint64_t>(out_rate) * RESAMPLE_OVERSAMPLING << 32) /
                  static_cast<uint64_t>(r->max_rate);

    r->phase_unit = gcd(in_rate, out_rate);
    int64_t phases = out_rate / r->phase_unit;
    r->cached = phases <= out_count && phases * r->taps <= MAX_CACHED;
    if (r->cached) {
        r->coefficients.resize(static_cast<size_t>(phases * r->taps));
        for (int64_t p = 0; p < phases; p++) {
            phase_coefficients(r, p * r->phase_unit,
                               &r->coefficients[static_cast<size_t>(p * r->taps)]);
        }
    } else {
        r->coefficients.resize(static_cast<size_t>(r->taps));
    }
    return 0;
}

int64_t resampler_push(Resampler* r, const int32_t* in, size_t count, int32_t* out) {
    append(r, in, count);
    make_outputs(r, out);
    return r->made;
}

int64_t resampler_finish(Resampler* r, int32_t* out) {
    while (r->made < r->out_count) {
        append(r, nullptr, static_cast<size_t>(r->taps) + 1024);
        make_outputs(r, out);
    }
    return r->made;
}
