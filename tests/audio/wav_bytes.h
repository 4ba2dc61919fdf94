// WAV files built in memory for the audio tests, and a ByteSource over them.
#pragma once

#include "audio/wav.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

using Bytes = std::vector<unsigned char>;

// Appends `bytes` bytes of `v`, little-endian.
inline void put(Bytes& b, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; i++) {
        b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
}

// A chunk: id, size field (the body's size unless given), body, pad byte.
inline Bytes chunk(const char* id, const Bytes& body, int64_t size_field = -1) {
    Bytes b(id, id + 4);
    put(b, size_field < 0 ? body.size() : static_cast<uint64_t>(size_field), 4);
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) {
        b.push_back(0);
    }
    return b;
}

// A "fmt " body; tag 0xFFFE makes the 40-byte extensible form around `sub`.
inline Bytes fmt_body(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits,
                      uint32_t sub = 1) {
    Bytes b;
    put(b, tag, 2), put(b, channels, 2), put(b, rate, 4), put(b, rate * channels * bits / 8, 4);
    put(b, channels * bits / 8, 2), put(b, bits, 2);
    if (tag == 0xFFFE) {
        put(b, 22, 2), put(b, bits, 2), put(b, 0, 4), put(b, sub, 2);
        b.insert(b.end(), {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71});
    }
    return b;
}

// "RIFF" size "WAVE" and the chunks.
inline Bytes riff(const std::vector<Bytes>& chunks) {
    Bytes b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks) {
        b.insert(b.end(), c.begin(), c.end());
    }
    Bytes size;
    put(size, b.size() - 8, 4);
    std::memcpy(&b[4], size.data(), 4);
    return b;
}

// A source over bytes in memory whose reads fail from `fail_from` on; a read
// outside the bytes fails too, but the reader must never ask for one.
struct MemoryBytes {
    const Bytes* bytes;
    int64_t fail_from;
};

inline int read_memory(void* context, int64_t offset, unsigned char* dest, size_t count) {
    const MemoryBytes* m = static_cast<const MemoryBytes*>(context);
    int64_t end = offset + static_cast<int64_t>(count);
    if (offset < 0 || end > static_cast<int64_t>(m->bytes->size())) {
        ADD_FAILURE() << "read outside the source";
        return -2;
    }
    if (end > m->fail_from) {
        return -1;
    }
    std::memcpy(dest, m->bytes->data() + offset, count);
    return 0;
}

inline ByteSource memory_source(MemoryBytes* m) {
    return ByteSource{m, static_cast<int64_t>(m->bytes->size()), read_memory};
}
