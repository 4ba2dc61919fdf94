// Recordings in WAV files: the header reader and the sizing of a tone from
// the header alone. The bytes come through a ByteSource, so the same code
// reads a file, a buffer in a test or the fuzzer's input.
#pragma once

#include <cstddef>
#include <cstdint>

// Where the bytes of a recording come from.
struct ByteSource {
    void* context;
    int64_t size; // total bytes available (the file's size)
    // Reads `count` bytes at `offset` into `dest`; returns 0, or negative on
    // a read error. Never called outside [0, size).
    int (*read)(void* context, int64_t offset, unsigned char* dest, size_t count);
};

// Sample formats the reader accepts.
enum WavFormat {
    WAV_INTEGER = 1, // PCM: 8-bit unsigned, 16, 24, 32-bit signed
    WAV_FLOAT = 3,   // IEEE float, 32 or 64-bit
};

// Return codes of the header reader: each refusal has its own.
enum WavResult {
    WAV_OK = 0,
    WAV_READ_ERROR = -1,       // the source failed to read
    WAV_NOT_RECORDING = -2,    // no "RIFF" ... "WAVE" at the start
    WAV_NO_FORMAT = -3,        // no "fmt " chunk
    WAV_NO_DATA = -4,          // no "data" chunk
    WAV_FORMAT_TOO_SHORT = -5, // "fmt " chunk shorter than its format needs
    WAV_COMPRESSED = -6,       // a format tag or sub-format other than PCM or float
    WAV_NO_CHANNELS = -7,
    WAV_TOO_MANY_CHANNELS = -8, // more than WAV_MAX_CHANNELS
    WAV_NO_RATE = -9,
    WAV_RATE_RANGE = -10,  // outside WAV_MIN_RATE..WAV_MAX_RATE
    WAV_SAMPLE_SIZE = -11, // bits per sample not taken for the format
    WAV_BLOCK_ALIGN = -12, // block align is not channels * bytes per sample
};

const int32_t WAV_MAX_CHANNELS = 8;
const int32_t WAV_MIN_RATE = 1000;
const int32_t WAV_MAX_RATE = 384000;
// Chunks walked before the reader gives up looking for "fmt " and "data".
const int WAV_MAX_CHUNKS = 4096;

// What the header says about a recording.
struct WavInfo {
    int32_t format;      // a WavFormat
    int32_t bits;        // bits per sample: 8, 16, 24, 32 or 64
    int32_t channels;    // 1..8
    int32_t rate;        // frames per second
    int32_t block_align; // bytes per frame
    int64_t data_offset; // where the first frame starts
    int64_t frames;      // whole frames in the data
    bool data_cut;       // the data chunk ran past the end of the source, or gave no size
};

// Whether `head` (`length` bytes, at least 12 to say yes) starts a WAV file:
// "RIFF" at 0 and "WAVE" at 8.
bool is_recording(const unsigned char* head, size_t length);

// Reads the header of the recording in `source` into `info`. Chunks are
// walked one after the other from offset 12 (the RIFF size is not trusted),
// odd-sized chunks with their pad byte; unknown chunks are skipped unread. A
// data chunk that runs past the end of the source, or whose size is 0 or
// 0xFFFFFFFF (a stream), is taken to the end of the source in whole frames
// and flagged in info->data_cut. Returns WAV_OK or a WavResult refusal.
int read_wav_info(const ByteSource& source, WavInfo* info);

// Samples of a tone at `tone_rate` made from `frames` frames at
// `source_rate`: frames * tone_rate / source_rate rounded half up, exactly.
// -1 if a rate is not positive or frames is negative.
int64_t tone_samples(int64_t frames, int32_t source_rate, int32_t tone_rate);
