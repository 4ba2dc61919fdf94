#include "wav.h"

#include <cstring>

namespace {

// Little-endian fields, read byte by byte so big-endian machines agree.
uint32_t le16(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

uint32_t le32(const unsigned char* p) {
    return le16(p) | le16(p + 2) << 16;
}

const uint32_t TAG_INTEGER = 1;
const uint32_t TAG_FLOAT = 3;
const uint32_t TAG_EXTENSIBLE = 0xFFFE;
const uint32_t UNKNOWN_SIZE = 0xFFFFFFFF;
// The fixed tail of the sub-format GUID of the two formats taken, after its
// first two bytes (the format tag).
const unsigned char GUID_TAIL[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                     0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Checks a "fmt " chunk of `size` bytes, of which `fmt` holds the first
// min(size, 40), and fills the format fields of `info`.
int take_format(const unsigned char* fmt, uint32_t size, WavInfo* info) {
    if (size < 16) {
        return WAV_FORMAT_TOO_SHORT;
    }
    uint32_t tag = le16(fmt);
    uint32_t channels = le16(fmt + 2);
    uint32_t rate = le32(fmt + 4);
    uint32_t block_align = le16(fmt + 12);
    uint32_t bits = le16(fmt + 14);
    if (tag == TAG_EXTENSIBLE) {
        // cbSize at 16 and the 22 bytes it counts: valid bits, channel mask, GUID.
        if (size < 40) {
            return WAV_FORMAT_TOO_SHORT;
        }
        if (std::memcmp(fmt + 26, GUID_TAIL, sizeof GUID_TAIL) != 0) {
            return WAV_COMPRESSED;
        }
        tag = le16(fmt + 24);
    }
    if (tag != TAG_INTEGER && tag != TAG_FLOAT) {
        return WAV_COMPRESSED;
    }
    if (channels == 0) {
        return WAV_NO_CHANNELS;
    }
    if (channels > static_cast<uint32_t>(WAV_MAX_CHANNELS)) {
        return WAV_TOO_MANY_CHANNELS;
    }
    if (rate == 0) {
        return WAV_NO_RATE;
    }
    if (rate < static_cast<uint32_t>(WAV_MIN_RATE) || rate > static_cast<uint32_t>(WAV_MAX_RATE)) {
        return WAV_RATE_RANGE;
    }
    bool taken = tag == TAG_INTEGER ? (bits == 8 || bits == 16 || bits == 24 || bits == 32)
                                    : (bits == 32 || bits == 64);
    if (!taken) {
        return WAV_SAMPLE_SIZE;
    }
    if (block_align != channels * (bits / 8)) {
        return WAV_BLOCK_ALIGN;
    }
    info->format = tag == TAG_INTEGER ? WAV_INTEGER : WAV_FLOAT;
    info->bits = static_cast<int32_t>(bits);
    info->channels = static_cast<int32_t>(channels);
    info->rate = static_cast<int32_t>(rate);
    info->block_align = static_cast<int32_t>(block_align);
    return WAV_OK;
}

// Reads `count` bytes at `offset`, all inside the source.
int read_at(const ByteSource& source, int64_t offset, unsigned char* dest, size_t count) {
    return source.read(source.context, offset, dest, count) < 0 ? WAV_READ_ERROR : WAV_OK;
}

} // namespace

bool is_recording(const unsigned char* head, size_t length) {
    return length >= 12 && std::memcmp(head, "RIFF", 4) == 0 &&
           std::memcmp(head + 8, "WAVE", 4) == 0;
}

int read_wav_info(const ByteSource& source, WavInfo* info) {
    *info = WavInfo{};
    unsigned char head[12];
    if (source.size < 12) {
        return WAV_NOT_RECORDING;
    }
    if (read_at(source, 0, head, sizeof head) != WAV_OK) {
        return WAV_READ_ERROR;
    }
    if (!is_recording(head, sizeof head)) {
        return WAV_NOT_RECORDING;
    }
    bool have_format = false;
    bool have_data = false;
    int64_t data_bytes = 0;
    int format_result = WAV_OK;
    int64_t offset = 12;
    // Each chunk moves the offset on by at least its 8-byte header, and the
    // walk stops at the end of the source or after WAV_MAX_CHUNKS chunks.
    for (int chunk = 0; chunk < WAV_MAX_CHUNKS && source.size - offset >= 8; chunk++) {
        unsigned char header[8];
        if (read_at(source, offset, header, sizeof header) != WAV_OK) {
            return WAV_READ_ERROR;
        }
        uint32_t size = le32(header + 4);
        int64_t body = offset + 8;
        int64_t left = source.size - body;
        if (std::memcmp(header, "fmt ", 4) == 0 && !have_format) {
            unsigned char fmt[40] = {};
            // A format cut by the end of the source is as short as what is there.
            uint32_t present = static_cast<uint32_t>(left < int64_t{size} ? left : int64_t{size});
            if (read_at(source, body, fmt, present < 40 ? present : 40) != WAV_OK) {
                return WAV_READ_ERROR;
            }
            have_format = true;
            format_result = take_format(fmt, present, info);
        } else if (std::memcmp(header, "data", 4) == 0 && !have_data) {
            have_data = true;
            info->data_offset = body;
            if (size == UNKNOWN_SIZE || int64_t{size} > left || (size == 0 && left > 0)) {
                // Cut short, or a stream that never went back to write its
                // size: the data runs to the end of the source.
                info->data_cut = true;
                data_bytes = left;
                break;
            }
            data_bytes = size;
        }
        if (have_format && have_data) {
            break;
        }
        offset = body + int64_t{size} + (size & 1);
    }
    if (!have_format) {
        return WAV_NO_FORMAT;
    }
    if (format_result != WAV_OK) {
        return format_result;
    }
    if (!have_data) {
        return WAV_NO_DATA;
    }
    info->frames = data_bytes / info->block_align;
    return WAV_OK;
}

int64_t tone_samples(int64_t frames, int32_t source_rate, int32_t tone_rate) {
    if (frames < 0 || source_rate <= 0 || tone_rate <= 0) {
        return -1;
    }
    // frames = whole * source_rate + part: no product can overflow for any
    // frame count a source can hold.
    int64_t whole = frames / source_rate;
    int64_t part = frames % source_rate;
    if (whole > INT64_MAX / 4 / tone_rate) {
        return INT64_MAX / 4;
    }
    return whole * tone_rate + (2 * part * tone_rate + source_rate) / (2 * int64_t{source_rate});
}
