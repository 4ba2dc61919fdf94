// Writes the plain tones and the recording the example lists name into the
// current directory. The plain tones' bytes are 4-bit ADPCM-style step codes
// drawn from a few simple shapes, so every tone is distinct and recognisable
// in a hex dump; the recording is a short chord in a WAV file, which link
// encodes.
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

// The recording: half a second of a soft chord, 16-bit stereo at 22050 Hz,
// each voice a triangle wave, fading out. Integer arithmetic only, so every
// system writes the same bytes.
const char RECORDING[] = "PAD.WAV";
const int RECORDING_RATE = 22050;
const int RECORDING_FRAMES = RECORDING_RATE / 2;

// A triangle wave of amplitude 4096 at `hz`, at frame `n`.
int triangle(int hz, int n) {
    int phase = static_cast<int>(static_cast<long long>(hz) * n * 4096 / RECORDING_RATE % 4096);
    int up = phase < 2048 ? phase : 4096 - phase; // 0 .. 2048
    return up * 4 - 4096;
}

void put(std::FILE* f, unsigned value, int bytes, bool* ok) {
    for (int i = 0; i < bytes; i++) {
        *ok = std::fputc(static_cast<int>((value >> (8 * i)) & 0xFF), f) != EOF && *ok;
    }
}

bool write_recording() {
    std::FILE* f = std::fopen(RECORDING, "wb");
    if (f == nullptr) {
        std::perror(RECORDING);
        return false;
    }
    const unsigned data = RECORDING_FRAMES * 4;
    bool ok = std::fputs("RIFF", f) != EOF;
    put(f, 36 + data, 4, &ok);
    ok = std::fputs("WAVEfmt ", f) != EOF && ok;
    put(f, 16, 4, &ok);
    put(f, 1, 2, &ok); // integer PCM
    put(f, 2, 2, &ok); // stereo
    put(f, RECORDING_RATE, 4, &ok);
    put(f, RECORDING_RATE * 4, 4, &ok);
    put(f, 4, 2, &ok);
    put(f, 16, 2, &ok);
    ok = std::fputs("data", f) != EOF && ok;
    put(f, data, 4, &ok);
    for (int n = 0; n < RECORDING_FRAMES && ok; n++) {
        int fade = RECORDING_FRAMES - n;
        int left = (triangle(220, n) + triangle(277, n)) * fade / RECORDING_FRAMES;
        int right = (triangle(220, n) + triangle(330, n)) * fade / RECORDING_FRAMES;
        put(f, static_cast<unsigned>(left) & 0xFFFF, 2, &ok);
        put(f, static_cast<unsigned>(right) & 0xFFFF, 2, &ok);
    }
    if (std::fclose(f) != 0 || !ok) {
        std::perror(RECORDING);
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
    return write_recording() ? 0 : 1;
}
