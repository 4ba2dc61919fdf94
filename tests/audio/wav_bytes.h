// WAV files built in memory for the audio tests, and a ByteSource over them.
#pragma once

#include "audio/wav.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

inline void put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}

inline void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A chunk: id, size field, body and its pad byte when odd.
inline Bytes chunk(const char* id, const Bytes& body, uint32_t size_field) {
    Bytes b(id, id + 4);
    put32(b, size_field);
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) {
        b.push_back(0);
    }
    return b;
}

inline Bytes chunk(const char* id, const Bytes& body) {
    return chunk(id, body, static_cast<uint32_t>(body.size()));
}

// A "fmt " body; tag 0xFFFE makes the 40-byte extensible form around `sub`.
inline Bytes fmt_body(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits,
                      uint32_t sub = 1) {
    Bytes b;
    put16(b, tag);
    put16(b, channels);
    put32(b, rate);
    put32(b, rate * channels * bits / 8);
    put16(b, channels * bits / 8);
    put16(b, bits);
    if (tag == 0xFFFE) {
        put16(b, 22);
        put16(b, bits);
        put32(b, 0);
        put16(b, sub);
        const unsigned char tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        b.insert(b.end(), tail, tail + 14);
    }
    return b;
}

// "RIFF" size "WAVE" and the chunks.
inline Bytes riff(const std::vector<Bytes>& chunks) {
    Bytes body = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks) {
        body.insert(body.end(), c.begin(), c.end());
    }
    Bytes b = {'R', 'I', 'F', 'F'};
    put32(b, static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// A source over bytes in memory; reads at or past `fail_from` fail.
struct MemoryBytes {
    const Bytes* bytes;
    int64_t fail_from;
};

inline int read_memory(void* context, int64_t offset, unsigned char* dest, size_t count) {
    const MemoryBytes* m = static_cast<const MemoryBytes*>(context);
    if (offset < 0 || count > m->bytes->size() || offset > static_cast<int64_t>(m->bytes->size() - count)) {
        return -2; // outside the source: the reader must never ask
    }
    if (offset + static_cast<int64_t>(count) > m->fail_from) {
        return -1;
    }
    std::memcpy(dest, m->bytes->data() + offset, count);
    return 0;
}

inline ByteSource memory_source(MemoryBytes* m) {
    return ByteSource{m, static_cast<int64_t>(m->bytes->size()), read_memory};
}
