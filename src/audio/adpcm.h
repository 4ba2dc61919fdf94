// The chip's ADPCM decoder.
#pragma once

#include <cstddef>
#include <cstdint>

// Decodes `byte_count` bytes of one tone into 2 * byte_count samples at
// `samples`, the high nibble of each byte first, from the state the chip
// starts every tone in.
void adpcm_decode_tone(const unsigned char* bytes, size_t byte_count, int16_t* samples);
