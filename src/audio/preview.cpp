#include "preview.h"

#include "adpcm.h"

#include <vector>

namespace {

void put_u16(std::string* file, uint32_t value) {
    file->push_back(static_cast<char>(value & 0xFF));
    file->push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put_u32(std::string* file, uint32_t value) {
    put_u16(file, value & 0xFFFF);
    put_u16(file, value >> 16);
}

} // namespace

// The plain 44-byte header: "RIFF", "WAVE", a 16-byte "fmt " chunk for
// integer PCM and the "data" chunk, every field little-endian.
void write_wav_mono16(const int16_t* samples, size_t count, int32_t rate, std::string* file) {
    const uint32_t data_bytes = static_cast<uint32_t>(count * 2);
    file->clear();
    file->reserve(44 + count * 2);
    file->append("RIFF");
    put_u32(file, 36 + data_bytes);
    file->append("WAVEfmt ");
    put_u32(file, 16);
    put_u16(file, 1); // integer PCM
    put_u16(file, 1); // mono
    put_u32(file, static_cast<uint32_t>(rate));
    put_u32(file, static_cast<uint32_t>(rate) * 2); // bytes per second
    put_u16(file, 2);                               // bytes per frame
    put_u16(file, 16);                              // bits per sample
    file->append("data");
    put_u32(file, data_bytes);
    for (size_t i = 0; i < count; i++) {
        put_u16(file, static_cast<uint16_t>(samples[i]));
    }
}

void make_tone_preview(const unsigned char* tone, size_t size, std::string* file) {
    std::vector<int16_t> samples(size * 2);
    adpcm_decode_tone(tone, size, samples.data());
    write_wav_mono16(samples.data(), samples.size(), PREVIEW_RATE, file);
}
