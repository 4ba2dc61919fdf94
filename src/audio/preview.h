// Recordings to listen to a tone with: the tone decoded as the chip decodes
// it, in a WAV file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The rate a tone's preview is written at: one sample per 4-bit code, the
// rate these banks' tones are conventionally made at.
constexpr int32_t PREVIEW_RATE = 16000;

// A 16-bit mono PCM WAV file of `count` samples at `rate`, into `file`.
void write_wav_mono16(const int16_t* samples, size_t count, int32_t rate, std::string* file);

// The tone of `size` bytes at `tone` decoded with the chip's decoder (its
// state reset at the tone's start) as a WAV file at PREVIEW_RATE, into
// `file`.
void make_tone_preview(const unsigned char* tone, size_t size, std::string* file);
