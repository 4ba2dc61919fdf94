#include "tone_source.h"

#include "audio/recording.h"
#include "bank/bank_format.h"
#include "bank/bank_lookup.h"
#include "os/console.h"
#include "os/file_input.h"

#include <cinttypes>
#include <cstring>

namespace {

const char BANK_SUFFIX[] = ".PPC";

// A source is a bank when its name ends in ".PPC", upper case exactly.
bool names_a_bank(const char* name) {
    size_t length = std::strlen(name);
    size_t suffix = sizeof(BANK_SUFFIX) - 1;
    return length >= suffix && std::memcmp(name + length - suffix, BANK_SUFFIX, suffix) == 0;
}

// An empty tone keeps its place, (start, start - 1), but the chip would play
// on past it through the data that follows, so the user is told.
void warn_empty_tone(const ToneSlot& slot) {
    out_printf("W [QORVELIX] PCM size is 0, empty tone [%s]\n", slot.name);
}

// Reads a recording through an input file kept open.
int read_from_input(void* context, int64_t offset, unsigned char* dest, size_t count) {
    return read_input(*static_cast<const InputFile*>(context), offset, dest, count) ? 0 : -1;
}

ByteSource source_of(InputFile* file) {
    return ByteSource{file, file->size, read_from_input};
}

// The header of the recording `name`, opened into `file`. Returns WAV_OK, or
// a refusal after the reader's line when the file could not be read.
int open_recording(const char* name, InputFile* file, WavInfo* info) {
    if (open_input(name, file) != 0) {
        return WAV_READ_ERROR;
    }
    int read = read_wav_info(source_of(file), info);
    if (read != WAV_OK) {
        close_input(file);
    }
    return read;
}

// Sizes the recording open in `file` from its header alone: the tone's
// samples at its rate, encoded into whole blocks with a tail back to
// silence. Nothing of the samples is read, so a recording too long for any
// bank is refused at once. Returns the bytes the tone takes, or -1 after
// reporting.
int64_t measure_recording(ToneSlot& slot, InputFile* file) {
    int32_t rate = slot.source_tone == 0 ? DEFAULT_TONE_RATE : slot.source_tone;
    if (rate < TONE_MIN_RATE || rate > TONE_MAX_RATE) {
        out_printf("E [QORVELIX] BAD Rate, line.%d\n", slot.line);
        return -1;
    }
    WavInfo info;
    if (read_wav_info(source_of(file), &info) != WAV_OK) {
        out_printf("E [QORVELIX] BAD WAV-Format [%s].\n", slot.name);
        return -1;
    }
    int64_t samples = tone_samples(info.frames, info.rate, rate);
    int64_t bytes = encoded_tone_bytes(samples);
    slot.tone_rate = rate;
    slot.source_offset = 0;
    slot.size = static_cast<int32_t>(bytes < INT32_MAX ? bytes : INT32_MAX);
    out_printf("  [QORVELIX] recording [%s] %d Hz %d ch -> %d Hz, %" PRId64 " samples, %" PRId64
               " ms\n",
               slot.name, int{info.rate}, int{info.channels}, int{rate}, samples,
               samples * 1000 / rate);
    if (info.data_cut) {
        out_printf("W [QORVELIX] WAV data cut short, read to the end of the file [%s]\n",
                   slot.name);
    }
    if (bytes == 0) {
        warn_empty_tone(slot);
    }
    return bytes;
}

// Measures a plain source: a recording by its header, anything else whole,
// rounded up to whole blocks in the bank. Returns the bytes the tone takes in
// the bank, or -1 after reporting.
int64_t measure_plain(ToneSlot& slot) {
    int32_t size = get_plain_size(slot.name);
    if (size < 0) {
        out_printf("E [QORVELIX] NOT FOUND [%s].\n", slot.name);
        return -1;
    }
    // A recording by the "RIFF" and "WAVE" at its head, whatever its name.
    unsigned char head[12];
    InputFile file;
    if (size >= 12 && open_input(slot.name, &file) == 0) {
        bool recording = read_input(file, 0, head, sizeof head) && is_recording(head, sizeof head);
        int64_t bytes = recording ? measure_recording(slot, &file) : 0;
        close_input(&file);
        if (recording) {
            return bytes;
        }
    }
    slot.tone_rate = 0;
    slot.source_offset = 0;
    slot.size = size;
    if (size == 0) {
        warn_empty_tone(slot);
    } else if (size % BLOCK_SIZE != 0) {
        out_printf("W [QORVELIX] PCM size is not a multiple of 32, padded [%s]\n", slot.name);
    }
    return (int64_t{size} + BLOCK_SIZE - 1) / BLOCK_SIZE * BLOCK_SIZE;
}

// Encodes the recording of `slot` into the `slot.size` bytes at `dest`.
// Returns 0, or -1 after reporting a recording that cannot be read or is no
// longer the one sized.
int encode_tone(unsigned char* dest, const ToneSlot& slot) {
    InputFile file;
    WavInfo info;
    RecordingReport report;
    int opened = open_recording(slot.name, &file, &info);
    int encoded = RECORDING_WRONG_SIZE;
    if (opened == WAV_OK) {
        int64_t samples = tone_samples(info.frames, info.rate, slot.tone_rate);
        if (encoded_tone_bytes(samples) == slot.size) {
            encoded = encode_recording(source_of(&file), info, slot.tone_rate, dest,
                                       static_cast<size_t>(slot.size), &report);
        }
        close_input(&file);
    }
    if (encoded != RECORDING_OK) {
        // The reader has said why it failed; anything else is a recording
        // that is no longer the one sized.
        if (opened != WAV_READ_ERROR && encoded != RECORDING_READ_ERROR) {
            err_printf("E [QORVELIX] File read error.\n");
        }
        err_printf("- [QORVELIX] READ PCM Failed [%s]\n", slot.name);
        return -1;
    }
    if (report.clamped > 0) {
        out_printf("W [QORVELIX] %" PRId64 " samples clamped to full scale [%s]\n", report.clamped,
                   slot.name);
    }
    return 0;
}

// Measures a tone taken from a bank. Returns its bytes or -1.
int64_t measure_bank_tone(ToneSlot& slot) {
    slot.tone_rate = 0;
    if (lookup_bank_element(slot.name, slot.source_tone, &slot.source_offset, &slot.size) != 0) {
        return -1;
    }
    if (slot.size == 0) {
        warn_empty_tone(slot);
    }
    return slot.size;
}

} // namespace

int64_t size_tone(ToneSlot& slot) {
    return names_a_bank(slot.name) ? measure_bank_tone(slot) : measure_plain(slot);
}

int fill_tone(unsigned char* dest, const ToneSlot& slot) {
    if (slot.tone_rate != 0) {
        return encode_tone(dest, slot);
    }
    return copy_source(dest, slot.name, slot.size, slot.source_offset);
}

// Reads the tone's bytes straight into the image; nothing else of the source
// is read, so the cost follows the tone, not the file it sits in.
int copy_source(unsigned char* dest, const char* name, int32_t size, int32_t source_offset) {
    int32_t got = read_file_range(name, source_offset, size, dest);
    if (got >= 0 && int64_t{source_offset} + size > got) {
        // The source has shrunk since it was measured.
        err_printf("E [QORVELIX] File read error.\n");
        got = -1;
    }
    if (got < 0) {
        err_printf("- [QORVELIX] READ PCM Failed [%s]\n", name);
        return -1;
    }
    return 0;
}
