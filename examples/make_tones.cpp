// Writes the plain tones the example lists name into the current directory.
// The bytes are 4-bit ADPCM-style step codes drawn from a few simple
// shapes, so every tone is distinct and recognisable in a hex dump.
#include <cmath>
#include <cstdio>

namespace {

struct Tone {
    const char* name;
    int bytes;     // a whole number of 32-byte blocks
    double cycles; // of the shape across the tone
    double decay;
};

const Tone TONES[] = {
    {"KICK.PCM", 256, 3.0, 4.0}, {"SNARE.PCM", 192, 11.0, 3.0}, {"HAT.PCM", 96, 23.0, 6.0},
    {"BASS.PCM", 384, 6.0, 0.5}, {"LEAD.PCM", 320, 15.0, 0.2},
};

// One code nibble from the slope of a decaying sine at position `t` (0 to 1).
int nibble(const Tone& tone, double t) {
    const double pi = 3.14159265358979323846;
    double exact = std::cos(2 * pi * tone.cycles * t) * std::exp(-tone.decay * t);
    // Held to a grid of 2^-30, so the last bits, which differ between
    // floating-point units (x87 on 32-bit x86), never decide a code: at a zero
    // crossing the slope is 0, not a rounding error of either sign.
    double slope = std::nearbyint(std::ldexp(exact, 30)) / 1073741824.0;
    int magnitude = static_cast<int>(std::fabs(slope) * 7.99);
    return (slope < 0 ? 8 : 0) | magnitude;
}

bool write_tone(const Tone& tone) {
    std::FILE* f = std::fopen(tone.name, "wb");
    if (f == nullptr) {
        std::perror(tone.name);
        return false;
    }
    int nibbles = tone.bytes * 2;
    bool ok = true;
    for (int i = 0; i < nibbles && ok; i += 2) {
        int hi = nibble(tone, double(i) / nibbles);
        int lo = nibble(tone, double(i + 1) / nibbles);
        ok = std::fputc((hi << 4) | lo, f) != EOF;
    }
    if (std::fclose(f) != 0 || !ok) {
        std::perror(tone.name);
        return false;
    }
    return true;
}

} // namespace

int main() {
    for (const Tone& tone : TONES) {
        if (!write_tone(tone)) {
            return 1;
        }
    }
    return 0;
}
