// The sound chip's 4-bit ADPCM: the decoder, the greedy encoder the chip's
// usual tools use, and the searching encoder that tones are made with.
//
// A tone is a run of bytes, each holding two 4-bit codes, high nibble first.
// The decoder starts every tone at x = 0, step = 127. A code n gives
// L = n & 7 and d = ((2L + 1) * step) / 8; x moves down by d when n & 8 is
// set, else up, and is clamped to 16 bits; x is the output sample. Then
// step = step * F[L] / 64, clamped to [127, 24576].
#pragma once

#include <cstddef>
#include <cstdint>

// The decoder's state between two codes.
struct AdpcmState {
    int32_t x;
    int32_t step;
};

const int32_t ADPCM_STEP_MIN = 127;
const int32_t ADPCM_STEP_MAX = 24576;
// A tone fills whole blocks of 32 bytes, 64 codes.
const int64_t ADPCM_BLOCK_BYTES = 32;
// Codes that follow the last sample of every tone, enough to bring the
// decoder back to silence from any state it can be in (see adpcm.cpp).
const int64_t ADPCM_TAIL_CODES = 56;
// Paths the searching encoder keeps; adpcm.cpp tells how it was chosen.
const int ADPCM_BEAM_WIDTH = 8;
// The widest search adpcm_encode_tone accepts.
const int ADPCM_BEAM_WIDTH_MAX = 256;

// Return codes of the encoder.
enum AdpcmResult {
    ADPCM_OK = 0,
    ADPCM_WRONG_SIZE = -1, // dest_size is not encoded_tone_bytes(count)
    ADPCM_BAD_WIDTH = -2,  // width outside 0..ADPCM_BEAM_WIDTH_MAX
};

// What the encoder did, for the caller to report or measure. Errors are sums
// of squared differences between the decoded samples and the target, over
// the samples only (not the tail).
struct AdpcmReport {
    int64_t search_error; // -1 when no search was made (width 0)
    int64_t greedy_error;
    bool kept_greedy; // the greedy codes were as good, and were kept
};

// The state every tone starts from.
AdpcmState adpcm_start();

// Decodes one code (0..15), updating `state`; returns the output sample.
int16_t adpcm_decode_code(AdpcmState* state, int code);

// Decodes a whole tone of `byte_count` bytes into 2 * byte_count samples.
void adpcm_decode_tone(const unsigned char* bytes, size_t byte_count, int16_t* samples);

// The code the greedy encoder gives for `target` in `state`: the nearest
// step of the right sign, L = min(7, 4 * |target - x| / step).
int adpcm_greedy_code(const AdpcmState& state, int32_t target);

// Greedy codes, one per byte of `codes`, for `count` target samples from
// `*state`, which is left as the decoder ends. Returns the squared error.
int64_t adpcm_greedy_codes(const int16_t* target, size_t count, AdpcmState* state,
                           unsigned char* codes);

// Codes, one per byte of `codes`, for `count` target samples from the start
// state, found by a search keeping the best `width` (1..ADPCM_BEAM_WIDTH_MAX)
// decoder paths. Returns the squared error of the codes it gives.
int64_t adpcm_search_codes(const int16_t* target, size_t count, int width, unsigned char* codes);

// Bytes of the encoded tone of `samples` samples: whole blocks holding the
// samples and the tail; 0 for no samples, -1 for a negative count.
int64_t encoded_tone_bytes(int64_t samples);

// Encodes `count` samples into exactly `dest_size` == encoded_tone_bytes(count)
// bytes: the search of `width` paths (0: the greedy codes alone), never worse
// than the greedy codes, then the tail toward silence. `report` may be null.
int adpcm_encode_tone(const int16_t* target, size_t count, int width, unsigned char* dest,
                      size_t dest_size, AdpcmReport* report);
