#include "adpcm.h"

namespace {

// How the step size grows or shrinks after each code, in 64ths, by the
// code's magnitude.
const int32_t STEP_FACTORS[8] = {57, 57, 57, 57, 77, 102, 128, 153};
constexpr int32_t STEP_MIN = 127;
constexpr int32_t STEP_MAX = 24576;

int32_t clamp(int32_t value, int32_t low, int32_t high) {
    return value < low ? low : value > high ? high : value;
}

} // namespace

void adpcm_decode_tone(const unsigned char* bytes, size_t byte_count, int16_t* samples) {
    int32_t x = 0;
    int32_t step = STEP_MIN;
    for (size_t i = 0; i < 2 * byte_count; i++) {
        int code = i % 2 == 0 ? bytes[i / 2] >> 4 : bytes[i / 2] & 15;
        int magnitude = code & 7;
        int32_t delta = (2 * magnitude + 1) * step / 8;
        x = clamp(code & 8 ? x - delta : x + delta, -32768, 32767);
        samples[i] = static_cast<int16_t>(x);
        step = clamp(step * STEP_FACTORS[magnitude] / 64, STEP_MIN, STEP_MAX);
    }
}
