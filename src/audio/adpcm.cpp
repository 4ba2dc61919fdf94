#include "adpcm.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const int32_t STEP_FACTOR[8] = {57, 57, 57, 57, 77, 102, 128, 153};

// The decoder's update for one code, on the two state values.
inline void advance(int32_t& x, int32_t& step, int code) {
    int level = code & 7;
    // step is positive, so the shifts are the divisions by 8 and 64.
    int32_t d = (2 * level + 1) * step >> 3;
    x = (code & 8) ? x - d : x + d;
    x = std::min(std::max(x, int32_t{-32768}), int32_t{32767});
    step = std::min(std::max(step * STEP_FACTOR[level] >> 6, ADPCM_STEP_MIN), ADPCM_STEP_MAX);
}

// The greedy level: L = min(7, 4 * distance / step).
inline int greedy_level(int32_t distance, int32_t step) {
    return static_cast<int>(std::min(int32_t{7}, 4 * distance / step));
}

// The beam search. Every sample, each kept path (a decoder state with the
// squared error of the codes that led to it) is extended by three codes:
// the greedy code and the levels either side of it (at level 0 the smallest
// step the other way instead of the level below; at level 7, level 5).
// Extensions that land on the same (x, step) are merged, keeping the lower
// error: their futures are the same, and without merging the paths soon
// become copies of one another (half the gain over greedy is lost). The best
// `width` extensions by error are kept, chosen by partial selection; ties go
// to the earlier extension, and extensions are made in a fixed order, so the
// codes are the same on every platform. Errors are int64 and kept relative
// to the best path's, so they stay small however long the tone.
//
// Each kept path stores its code and its parent's slot in a ring of history
// rows. Every SEGMENT samples the best path's ancestor SEGMENT samples back
// is fixed: paths that do not descend from it are dropped (by then they have
// almost always merged anyway) and the codes up to it are written out, so
// memory stays bounded whatever the tone's length.
//
// The width: on speech, drums, a bass line, chords and noise at 16 kHz, 16
// paths gain 1.42 dB over greedy on average, 32 paths 1.58, 40 paths 1.64,
// 48 paths 1.68 and 64 paths 1.75, at about 0.25, 0.5, 0.65, 0.75 and 1.0 s
// for 30 s of sound. 40 keeps the whole WAV-to-tone road near 0.8 s for a
// 30 s recording.
const int CANDIDATES = 3;
const int64_t SEGMENT = 1024;
const int64_t RING = 2 * SEGMENT;
const int HASH_BITS = 11; // room for ADPCM_BEAM_WIDTH_MAX * CANDIDATES entries, over a third free
// Errors beyond this are held at it, far above any path worth keeping, so
// that an error and an extension index fit in one 64-bit sort key.
const int64_t ERROR_CAP = (int64_t{1} << 52) - 1;
const int INDEX_BITS = 11;
const int ERROR_CLASSES = 204;

// Leading zero bits of a non-zero value.
inline int count_leading_zeros(uint64_t value) {
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_clzll(value);
#else
    int zeros = 0;
    while (!(value & (uint64_t{1} << 63))) {
        value <<= 1;
        zeros++;
    }
    return zeros;
#endif
}

struct Beam {
    int width;
    int live;
    std::vector<int32_t> x, step;
    std::vector<int64_t> error; // relative to the best path's
    std::vector<uint16_t> anchor, next_anchor;
    std::vector<uint8_t> greedy; // greedy code of each path this sample
    // Extensions of the current sample.
    int count;
    std::vector<int32_t> ext_x, ext_step;
    std::vector<int64_t> ext_error;
    std::vector<uint8_t> ext_code, ext_parent;
    std::vector<uint8_t> ext_class;
    std::vector<uint64_t> keys;
    // Open-addressed table of the states made this sample, for merging.
    std::vector<uint64_t> table;
    uint32_t stamp;
    // History rows: code and parent slot of every kept path.
    std::vector<uint8_t> row_code, row_parent;
};

void beam_init(Beam& beam, int width) {
    beam.width = width;
    beam.live = 1;
    beam.x.assign(width, 0);
    beam.step.assign(width, ADPCM_STEP_MIN);
    beam.error.assign(width, 0);
    beam.anchor.assign(width, 0);
    beam.next_anchor.assign(width, 0);
    beam.greedy.assign(width, 0);
    size_t room = static_cast<size_t>(width) * CANDIDATES;
    beam.ext_x.resize(room);
    beam.ext_step.resize(room);
    beam.ext_error.resize(room);
    beam.ext_code.resize(room);
    beam.ext_parent.resize(room);
    beam.ext_class.resize(room);
    beam.keys.resize(room);
    beam.table.assign(size_t{1} << HASH_BITS, 0);
    beam.stamp = 0;
    beam.row_code.assign(static_cast<size_t>(RING) * width, 0);
    beam.row_parent.assign(static_cast<size_t>(RING) * width, 0);
}

// Adds the extension of path `parent` by `code` to state (x, step) with
// `error`, or merges it with an equal state already made this sample. A
// table entry packs the sample's stamp (16 bits), the state (31 bits) and
// the extension's index (16 bits).
inline void add_extension(Beam& beam, int parent, int code, int32_t x, int32_t step,
                          int64_t error) {
    uint64_t key = static_cast<uint64_t>(x + 32768) << 15 | static_cast<uint64_t>(step);
    uint64_t tag = static_cast<uint64_t>(beam.stamp) << 31 | key;
    uint32_t mask = (uint32_t{1} << HASH_BITS) - 1;
    uint32_t slot = (static_cast<uint32_t>(key) * 2654435761u) >> (32 - HASH_BITS);
    uint64_t entry;
    while ((entry = beam.table[slot]) >> 47 == beam.stamp) {
        if (entry >> 16 == tag) {
            int same = static_cast<int>(entry & 0xFFFF);
            if (error < beam.ext_error[same]) {
                beam.ext_error[same] = error;
                beam.ext_code[same] = static_cast<uint8_t>(code);
                beam.ext_parent[same] = static_cast<uint8_t>(parent);
            }
            return;
        }
        slot = (slot + 1) & mask;
    }
    int index = beam.count++;
    beam.table[slot] = tag << 16 | static_cast<uint64_t>(index);
    beam.ext_x[index] = x;
    beam.ext_step[index] = step;
    beam.ext_error[index] = error;
    beam.ext_code[index] = static_cast<uint8_t>(code);
    beam.ext_parent[index] = static_cast<uint8_t>(parent);
}

// Makes the extensions of every kept path toward `target`: first the greedy
// code of each, then the others. When the greedy extensions alone are
// `width` different states, the worst of them bounds the errors that can
// still be kept, and any other extension above it is dropped unmade: this
// changes nothing that is kept and saves most of the work.
void extend_all(Beam& beam, int32_t target) {
    beam.count = 0;
    if (++beam.stamp == 1u << 16) {
        std::fill(beam.table.begin(), beam.table.end(), 0);
        beam.stamp = 1;
    }
    int live = beam.live;
    for (int p = 0; p < live; p++) {
        int32_t diff = target - beam.x[p];
        int sign = diff < 0 ? 8 : 0;
        int code = sign | greedy_level(diff < 0 ? -diff : diff, beam.step[p]);
        beam.greedy[p] = static_cast<uint8_t>(code);
        int32_t x = beam.x[p];
        int32_t step = beam.step[p];
        advance(x, step, code);
        int64_t miss = target - x;
        add_extension(beam, p, code, x, step, std::min(beam.error[p] + miss * miss, ERROR_CAP));
    }
    int64_t bound = ERROR_CAP;
    if (beam.count == beam.width) {
        bound = *std::max_element(beam.ext_error.begin(), beam.ext_error.begin() + beam.count);
    }
    for (int p = 0; p < live; p++) {
        if (beam.error[p] > bound) {
            continue; // its extensions can only be worse
        }
        int greedy = beam.greedy[p];
        int sign = greedy & 8;
        int level = greedy & 7;
        // The levels either side; at level 0, the smallest step the other
        // way; at level 7, level 5.
        int codes[2] = {level > 0 ? greedy - 1 : sign ^ 8, level < 7 ? greedy + 1 : sign | 5};
        for (int code : codes) {
            int32_t x = beam.x[p];
            int32_t step = beam.step[p];
            advance(x, step, code);
            int64_t miss = target - x;
            int64_t error = beam.error[p] + miss * miss;
            if (error <= bound) {
                add_extension(beam, p, code, x, step, std::min(error, ERROR_CAP));
            }
        }
    }
}

// A coarse, order-keeping class of an error: its bit length and the two
// bits after the leading one, so classes rise with the error (0..203).
inline int error_class(int64_t error) {
    if (error < 8) {
        return static_cast<int>(error);
    }
    int length = 64 - count_leading_zeros(static_cast<uint64_t>(error));
    return (length - 3) * 4 + static_cast<int>(error >> (length - 3));
}

// Keeps the best `width` extensions, in the order they were made, as the
// paths of sample `row`; errors are made relative to the best. Returns the
// best path's error before that. The width-th smallest key is found by
// counting the extensions in each error class, then selecting only among
// those of the class where the count reaches the width.
int64_t select(Beam& beam, int64_t row) {
    int count = beam.count;
    uint64_t threshold = ~uint64_t{0};
    if (count > beam.width) {
        uint16_t tally[ERROR_CLASSES] = {};
        for (int i = 0; i < count; i++) {
            int cls = error_class(beam.ext_error[i]);
            beam.ext_class[i] = static_cast<uint8_t>(cls);
            tally[cls]++;
        }
        int boundary = 0;
        int below = 0;
        while (below + tally[boundary] < beam.width) {
            below += tally[boundary++];
        }
        int gathered = 0;
        for (int i = 0; i < count; i++) {
            if (beam.ext_class[i] == boundary) {
                beam.keys[gathered++] = static_cast<uint64_t>(beam.ext_error[i]) << INDEX_BITS |
                                        static_cast<uint64_t>(i);
            }
        }
        int need = beam.width - below;
        std::nth_element(beam.keys.begin(), beam.keys.begin() + (need - 1),
                         beam.keys.begin() + gathered);
        threshold = beam.keys[need - 1];
    }
    uint8_t* codes = &beam.row_code[static_cast<size_t>(row % RING) * beam.width];
    uint8_t* parents = &beam.row_parent[static_cast<size_t>(row % RING) * beam.width];
    int64_t best = *std::min_element(beam.ext_error.begin(), beam.ext_error.begin() + count);
    // Every extension is written to the next free slot, which only moves on
    // past the kept ones: no branch to mispredict.
    int kept = 0;
    for (int i = 0; i < count && kept < beam.width; i++) {
        uint64_t key =
            static_cast<uint64_t>(beam.ext_error[i]) << INDEX_BITS | static_cast<uint64_t>(i);
        beam.x[kept] = beam.ext_x[i];
        beam.step[kept] = beam.ext_step[i];
        beam.error[kept] = beam.ext_error[i] - best;
        codes[kept] = beam.ext_code[i];
        parents[kept] = beam.ext_parent[i];
        beam.next_anchor[kept] = beam.anchor[beam.ext_parent[i]];
        kept += key <= threshold;
    }
    beam.live = kept;
    std::swap(beam.anchor, beam.next_anchor);
    return best;
}

// The slot of the best path, the first of the lowest error.
int best_path(const Beam& beam) {
    int best = 0;
    for (int p = 1; p < beam.live; p++) {
        if (beam.error[p] < beam.error[best]) {
            best = p;
        }
    }
    return best;
}

// Writes the codes of samples `first`..`last` of the path in slot `slot` of
// row `last`, following the parents back.
void trace_back(const Beam& beam, int slot, int64_t last, int64_t first, unsigned char* codes) {
    for (int64_t row = last; row >= first; row--) {
        size_t at = static_cast<size_t>(row % RING) * beam.width + static_cast<size_t>(slot);
        codes[row] = beam.row_code[at];
        slot = beam.row_parent[at];
    }
}

// Drops the paths of sample `row` that do not descend from `root`.
void keep_descendants(Beam& beam, int64_t row, int root) {
    uint8_t* codes = &beam.row_code[static_cast<size_t>(row % RING) * beam.width];
    uint8_t* parents = &beam.row_parent[static_cast<size_t>(row % RING) * beam.width];
    int kept = 0;
    for (int p = 0; p < beam.live; p++) {
        if (beam.anchor[p] != root) {
            continue;
        }
        beam.x[kept] = beam.x[p];
        beam.step[kept] = beam.step[p];
        beam.error[kept] = beam.error[p];
        codes[kept] = codes[p];
        parents[kept] = parents[p];
        kept++;
    }
    beam.live = kept;
}

} // namespace

AdpcmState adpcm_start() {
    return AdpcmState{0, ADPCM_STEP_MIN};
}

int16_t adpcm_decode_code(AdpcmState* state, int code) {
    advance(state->x, state->step, code & 15);
    return static_cast<int16_t>(state->x);
}

void adpcm_decode_tone(const unsigned char* bytes, size_t byte_count, int16_t* samples) {
    AdpcmState state = adpcm_start();
    for (size_t i = 0; i < byte_count; i++) {
        samples[2 * i] = adpcm_decode_code(&state, bytes[i] >> 4);
        samples[2 * i + 1] = adpcm_decode_code(&state, bytes[i] & 15);
    }
}

int adpcm_greedy_code(const AdpcmState& state, int32_t target) {
    int32_t diff = target - state.x;
    int sign = diff < 0 ? 8 : 0;
    return sign | greedy_level(diff < 0 ? -diff : diff, state.step);
}

int64_t adpcm_greedy_codes(const int16_t* target, size_t count, AdpcmState* state,
                           unsigned char* codes) {
    int64_t error = 0;
    for (size_t i = 0; i < count; i++) {
        int code = adpcm_greedy_code(*state, target[i]);
        advance(state->x, state->step, code);
        int64_t miss = target[i] - state->x;
        error += miss * miss;
        codes[i] = static_cast<unsigned char>(code);
    }
    return error;
}

int64_t adpcm_search_codes(const int16_t* target, size_t count, int width, unsigned char* codes) {
    Beam beam;
    beam_init(beam, std::min(std::max(width, 1), ADPCM_BEAM_WIDTH_MAX));
    int64_t total = 0;
    int64_t n = static_cast<int64_t>(count);
    int64_t anchor_row = -1; // the row the anchors name slots of
    int64_t written = 0;     // codes written out: samples 0..written-1
    for (int64_t row = 0; row < n; row++) {
        extend_all(beam, target[row]);
        total += select(beam, row);
        if (row - anchor_row == SEGMENT) {
            int root = beam.anchor[best_path(beam)];
            keep_descendants(beam, row, root);
            if (anchor_row >= 0) {
                trace_back(beam, root, anchor_row, written, codes);
                written = anchor_row + 1;
            }
            anchor_row = row;
            for (int p = 0; p < beam.live; p++) {
                beam.anchor[p] = static_cast<uint16_t>(p);
            }
        }
    }
    if (n > 0) {
        trace_back(beam, best_path(beam), n - 1, written, codes);
    }
    return total;
}

// The tail. Every tone ends with at least ADPCM_TAIL_CODES codes after its
// samples, the rest of its last block included, encoded greedily toward 0.
// Silence is step == 127 with |x| <= 15: from there the greedy code toward 0
// is a single smallest step (15) toward 0, so x stays within [-15, 15] and
// the step at its minimum, and the tone ends quiet for as long as the chip
// plays on. Zero codes would not do: each one climbs by a step. Greedy codes
// toward 0 reach silence within 52 codes from every state the decoder can
// reach (all x with every reachable step, checked exhaustively; the worst is
// x near -32768 with the smallest step, which must first grow the step and
// then shrink it again). 56 leaves the last 4 codes or more silent.
int64_t encoded_tone_bytes(int64_t samples) {
    if (samples < 0) {
        return -1;
    }
    if (samples == 0) {
        return 0;
    }
    const int64_t block_codes = 2 * ADPCM_BLOCK_BYTES;
    if (samples > INT64_MAX / 4) {
        return INT64_MAX / 4 / block_codes * ADPCM_BLOCK_BYTES;
    }
    return (samples + ADPCM_TAIL_CODES + block_codes - 1) / block_codes * ADPCM_BLOCK_BYTES;
}

int adpcm_encode_tone(const int16_t* target, size_t count, int width, unsigned char* dest,
                      size_t dest_size, AdpcmReport* report) {
    if (width < 0 || width > ADPCM_BEAM_WIDTH_MAX) {
        return ADPCM_BAD_WIDTH;
    }
    if (static_cast<int64_t>(dest_size) != encoded_tone_bytes(static_cast<int64_t>(count))) {
        return ADPCM_WRONG_SIZE;
    }
    std::vector<unsigned char> codes(dest_size * 2);
    AdpcmState state = adpcm_start();
    int64_t greedy_error = adpcm_greedy_codes(target, count, &state, codes.data());
    int64_t search_error = -1;
    bool kept_greedy = true;
    if (width > 0 && count > 0) {
        std::vector<unsigned char> found(count);
        search_error = adpcm_search_codes(target, count, width, found.data());
        if (search_error < greedy_error) {
            kept_greedy = false;
            std::memcpy(codes.data(), found.data(), count);
            state = adpcm_start();
            for (size_t i = 0; i < count; i++) {
                advance(state.x, state.step, found[i]);
            }
        }
    }
    for (size_t i = count; i < codes.size(); i++) {
        codes[i] = static_cast<unsigned char>(adpcm_greedy_code(state, 0));
        advance(state.x, state.step, codes[i]);
    }
    for (size_t i = 0; i < dest_size; i++) {
        dest[i] = static_cast<unsigned char>(codes[2 * i] << 4 | codes[2 * i + 1]);
    }
    if (report != nullptr) {
        report->search_error = search_error;
        report->greedy_error = greedy_error;
        report->kept_greedy = kept_greedy;
    }
    return ADPCM_OK;
}
