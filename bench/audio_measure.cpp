// Measures the audio encoder and resampler (not part of the program).
//
//   audio_measure IN.wav RATE [--width K] [--reference REF.wav] [--target OUT.wav] [--decoded
//   OUT.wav]
//       The tone made from IN.wav at RATE: its samples, the SNR of the
//       searching and of the greedy encoder against the resampled target,
//       the gain, the times; with --reference (16-bit mono at RATE), also
//       the SNR of both decoded tones against it.
//   audio_measure --pipeline IN.wav RATE OUT.bin
//       What the program does: header, then encode_recording, then write.
//   audio_measure --response FROM TO
//       The resampler's gain for sines across the band (in memory).
//   audio_measure --level IN.wav FREQ
//       Level in dB of full scale of the sine at FREQ in a WAV file.
#include "audio/recording.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

const double PI = 3.14159265358979323846;

int read_file(void* context, int64_t offset, unsigned char* dest, size_t count) {
    std::ifstream* in = static_cast<std::ifstream*>(context);
    in->clear();
    in->seekg(offset);
    in->read(reinterpret_cast<char*>(dest), static_cast<std::streamsize>(count));
    return in->gcount() == static_cast<std::streamsize>(count) ? 0 : -1;
}

struct OpenWav {
    std::ifstream file;
    ByteSource source;
    WavInfo info;
};

bool open_wav(const char* path, OpenWav* w) {
    w->file.open(path, std::ios::binary);
    if (!w->file) {
        std::fprintf(stderr, "cannot open %s\n", path);
        return false;
    }
    w->file.seekg(0, std::ios::end);
    w->source = ByteSource{&w->file, static_cast<int64_t>(w->file.tellg()), read_file};
    int result = read_wav_info(w->source, &w->info);
    if (result != WAV_OK) {
        std::fprintf(stderr, "%s: not a recording taken (%d)\n", path, result);
        return false;
    }
    return true;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The mono samples of a WAV file at its own rate.
bool load(const char* path, std::vector<int16_t>* samples, int32_t* rate) {
    OpenWav w;
    if (!open_wav(path, &w)) {
        return false;
    }
    samples->resize(static_cast<size_t>(w.info.frames));
    *rate = w.info.rate;
    return read_tone_target(w.source, w.info, w.info.rate, samples->data(), samples->size(),
                            nullptr) == 0;
}

void write_wav(const char* path, const std::vector<int16_t>& s, int32_t rate) {
    std::vector<unsigned char> b;
    auto put = [&b](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; i++) {
            b.push_back(static_cast<unsigned char>(v >> (8 * i)));
        }
    };
    uint32_t data = static_cast<uint32_t>(s.size() * 2);
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put(36 + data, 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4), put(1, 2), put(1, 2), put(static_cast<uint32_t>(rate), 4);
    put(static_cast<uint32_t>(rate) * 2, 4), put(2, 2), put(16, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put(data, 4);
    for (int16_t v : s) {
        put(static_cast<uint16_t>(v), 2);
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// 10 log10(signal / error) of `decoded` against `reference`, over the
// samples both have.
double snr(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded) {
    double signal = 0, error = 0;
    for (size_t i = 0; i < reference.size() && i < decoded.size(); i++) {
        signal += double(reference[i]) * reference[i];
        double d = double(reference[i]) - decoded[i];
        error += d * d;
    }
    return 10 * std::log10(signal / error);
}

std::vector<int16_t> decode(const std::vector<unsigned char>& tone, size_t samples) {
    std::vector<int16_t> out(tone.size() * 2);
    adpcm_decode_tone(tone.data(), tone.size(), out.data());
    out.resize(samples);
    return out;
}

int measure_tone(int argc, char** argv) {
    OpenWav w;
    if (!open_wav(argv[1], &w)) {
        return 1;
    }
    int32_t rate = std::atoi(argv[2]);
    int width = ADPCM_BEAM_WIDTH;
    const char *reference_path = nullptr, *target_path = nullptr, *decoded_path = nullptr;
    for (int i = 3; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--width") {
            width = std::atoi(argv[i + 1]);
        } else if (option == "--reference") {
            reference_path = argv[i + 1];
        } else if (option == "--target") {
            target_path = argv[i + 1];
        } else if (option == "--decoded") {
            decoded_path = argv[i + 1];
        }
    }
    int64_t samples = tone_samples(w.info.frames, w.info.rate, rate);
    std::vector<int16_t> target(static_cast<size_t>(samples));
    RecordingReport report;
    auto start = std::chrono::steady_clock::now();
    if (read_tone_target(w.source, w.info, rate, target.data(), target.size(), &report) != 0) {
        std::fprintf(stderr, "reading failed\n");
        return 1;
    }
    double read_time = seconds_since(start);
    size_t bytes = static_cast<size_t>(encoded_tone_bytes(samples));
    std::vector<unsigned char> searched(bytes), greedy(bytes);
    start = std::chrono::steady_clock::now();
    adpcm_encode_tone(target.data(), target.size(), width, searched.data(), bytes, nullptr);
    double search_time = seconds_since(start);
    start = std::chrono::steady_clock::now();
    adpcm_encode_tone(target.data(), target.size(), 0, greedy.data(), bytes, nullptr);
    double greedy_time = seconds_since(start);
    std::vector<int16_t> searched_out = decode(searched, target.size());
    std::vector<int16_t> greedy_out = decode(greedy, target.size());
    double s = snr(target, searched_out), g = snr(target, greedy_out);
    std::printf("%s: %lld samples at %d Hz, clamped %lld, read+resample %.3f s\n", argv[1],
                static_cast<long long>(samples), rate, static_cast<long long>(report.clamped),
                read_time);
    std::printf(
        "  width %d: SNR %.2f dB, greedy %.2f dB, gain %.2f dB; encode %.3f s (greedy %.3f s)\n",
        width, s, g, s - g, search_time, greedy_time);
    if (reference_path != nullptr) {
        std::vector<int16_t> reference;
        int32_t reference_rate;
        if (!load(reference_path, &reference, &reference_rate)) {
            return 1;
        }
        std::printf("  against %s: target %.2f dB, searched %.2f dB, greedy %.2f dB\n",
                    reference_path, snr(reference, target), snr(reference, searched_out),
                    snr(reference, greedy_out));
    }
    if (target_path != nullptr) {
        write_wav(target_path, target, rate);
    }
    if (decoded_path != nullptr) {
        write_wav(decoded_path, searched_out, rate);
    }
    return 0;
}

int pipeline(char** argv) {
    auto start = std::chrono::steady_clock::now();
    OpenWav w;
    if (!open_wav(argv[2], &w)) {
        return 1;
    }
    int32_t rate = std::atoi(argv[3]);
    int64_t bytes = encoded_tone_bytes(tone_samples(w.info.frames, w.info.rate, rate));
    std::vector<unsigned char> tone(static_cast<size_t>(bytes));
    RecordingReport report;
    int result = encode_recording(w.source, w.info, rate, tone.data(), tone.size(), &report);
    std::ofstream(argv[4], std::ios::binary)
        .write(reinterpret_cast<const char*>(tone.data()),
               static_cast<std::streamsize>(tone.size()));
    std::printf("result %d, %lld samples, %lld bytes, clamped %lld, %s codes, %.3f s\n", result,
                static_cast<long long>(report.samples), static_cast<long long>(bytes),
                static_cast<long long>(report.clamped),
                report.coding.kept_greedy ? "greedy" : "searched", seconds_since(start));
    return result == 0 ? 0 : 1;
}

// Level in dB (against `full`) of the sine at `freq` in the middle half of
// `y`, through a Hann window.
double level(const std::vector<double>& y, double freq, double rate, double full) {
    size_t first = y.size() / 4, length = y.size() / 2;
    double re = 0, im = 0, weights = 0;
    for (size_t i = 0; i < length; i++) {
        double w = 0.5 - 0.5 * std::cos(2 * PI * (i + 0.5) / length);
        double angle = 2 * PI * freq * double(first + i) / rate;
        re += w * y[first + i] * std::sin(angle);
        im += w * y[first + i] * std::cos(angle);
        weights += w;
    }
    return 20 * std::log10(2 * std::sqrt(re * re + im * im) / weights / full);
}

// Where a sine at `freq` is heard at `rate`.
double heard_at(double freq, double rate) {
    double f = std::fmod(freq, rate);
    return f > rate / 2 ? rate - f : f;
}

int response(char** argv) {
    int32_t from = std::atoi(argv[2]), to = std::atoi(argv[3]);
    double low = std::min(from, to);
    size_t length = static_cast<size_t>(from) / 2;
    int64_t count = tone_samples(static_cast<int64_t>(length), from, to);
    double passband_worst = 0, stopband_worst = -400;
    for (int step = 1; step <= 200; step++) {
        // Passband 0..0.45 of the lower rate, then the stopband from 0.5 up to
        // the input's Nyquist frequency (downsampling) or the images of the
        // inputs below it (upsampling).
        double rel = step <= 100 ? 0.45 * step / 100 : 0.5 + (step - 100) * 0.005;
        double freq = rel * low; // as heard in the output
        double input = from < to ? from - freq : freq;
        if (input >= from / 2.0 || input <= 0) {
            continue;
        }
        std::vector<int32_t> in(length);
        for (size_t i = 0; i < length; i++) {
            in[i] = static_cast<int32_t>(
                std::lround(0.5 * SAMPLE_FULL_SCALE * std::sin(2 * PI * input * double(i) / from)));
        }
        Resampler r;
        resampler_init(&r, from, to, count);
        std::vector<int32_t> out(static_cast<size_t>(count));
        resampler_push(&r, in.data(), in.size(), out.data());
        resampler_finish(&r, out.data());
        std::vector<double> y(out.begin(), out.end());
        double db = level(y, heard_at(freq, to), to, 0.5 * SAMPLE_FULL_SCALE);
        if (step <= 100) {
            passband_worst = std::max(passband_worst, std::fabs(db));
        } else {
            stopband_worst = std::max(stopband_worst, db);
        }
        if (step % 10 == 0 || step == 1 || step == 101) {
            std::printf("  %8.1f Hz (%.3f of the lower rate): %9.4f dB\n", freq, rel, db);
        }
    }
    std::printf("%d -> %d: passband within %.4f dB up to 0.45, stopband at most %.1f dB\n", from,
                to, passband_worst, stopband_worst);
    return 0;
}

int measure_level(char** argv) {
    OpenWav w;
    if (!open_wav(argv[2], &w)) {
        return 1;
    }
    std::vector<unsigned char> bytes(static_cast<size_t>(w.info.frames * w.info.block_align));
    w.source.read(w.source.context, w.info.data_offset, bytes.data(), bytes.size());
    std::vector<int32_t> mono(static_cast<size_t>(w.info.frames));
    mix_frames(w.info, bytes.data(), mono.size(), mono.data());
    std::vector<double> y(mono.begin(), mono.end());
    std::printf("%.2f\n", level(y, std::atof(argv[3]), w.info.rate, SAMPLE_FULL_SCALE));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "--pipeline") == 0) {
        return pipeline(argv);
    }
    if (argc >= 4 && std::strcmp(argv[1], "--response") == 0) {
        return response(argv);
    }
    if (argc >= 4 && std::strcmp(argv[1], "--level") == 0) {
        return measure_level(argv);
    }
    if (argc >= 3 && argv[1][0] != '-') {
        return measure_tone(argc, argv);
    }
    std::fprintf(stderr, "usage: audio_measure IN.wav RATE [--width K] [--reference REF.wav] "
                         "[--target OUT.wav] [--decoded OUT.wav]\n"
                         "       audio_measure --pipeline IN.wav RATE OUT.bin\n"
                         "       audio_measure --response FROM TO\n"
                         "       audio_measure --level IN.wav FREQ\n");
    return 2;
}
