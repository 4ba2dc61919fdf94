#include "adpcm.h"

#include <algorithm>
#include <cstdlib>
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
// squared error of the codes that led to it) is extended by four codes:
// the greedy code, the levels either side of it (at level 0 the smallest
// step the other way instead of the level below; at level 7, level 5), and
// level 7 the greedy code's way (level 4 from level 6 or 7). That jump grows
// the step fastest, ahead of a steep edge the greedy codes would trail.
// Extensions are ranked by their error plus the least error the next
// samples can have from where they land (see rank_all). Those that land on
// the same step with x in the same cell, a quarter to a half of the step
// wide, are merged, keeping the lower rank: their futures hardly differ,
// and without merging the paths soon become near copies of one another, the
// width spent on one way of coding. The best `width` ranks are kept.
// Extensions are numbered in the order they are made, path by path, and
// ties go to the lower number, so the codes are the same on every platform.
// Errors are int64 and kept relative to the best path's, so they stay small
// however long the tone.
//
// Most extensions are far from being kept, and the work goes to the few
// that may be. Twice the worst rank kept at one sample is a guess at a
// bound for the next: extensions above it are dropped as soon as their
// error is known (a rank is never below its error) and again once ranked,
// before merging or selection. When fewer than `width` different cells are
// left under the guess, the sample is made again without it, so the bound
// changes nothing that is kept. The `width`-th best rank is then found by
// counting the cells in 64 buckets spanning their ranks and ordering only
// the few in the bucket where the count reaches the width. Merging and
// keeping are done with selections rather than branches wherever the
// outcome is as good as random.
//
// Each kept path stores its code and its parent's slot in a ring of history
// rows. Every SEGMENT samples the best path's ancestor SEGMENT samples back
// is fixed: paths that do not descend from it are dropped (by then they have
// almost always merged anyway) and the codes up to it are written out, so
// memory stays bounded whatever the tone's length.
//
// The width: on speech, drums, a bass line, chords and noise at 16 kHz
// (bench/audio_corpus.sh, three makings), 1 path gains 5.4 dB over greedy
// on average, 2 paths 6.2, 4 paths 6.8, 8 paths 7.1, 16 paths 7.4 and 32
// paths 7.6, at about 0.07, 0.09, 0.18, 0.3, 0.5 and 1.0 s for 30 s of
// sound. Most of it is the bass line's and the chords' (about 20 and 9 dB
// at 8 paths), where greedy codes trail every steep edge; speech gains 2.9,
// noise 2.1 and drums 1.8 to 2.6. 8 keeps the whole WAV-to-tone road near
// 0.4 s for a 30 s recording.
const int EXTENSIONS = 4;
const int AHEAD = 3;
const int64_t SEGMENT = 1024;
const int64_t RING = 2 * SEGMENT;
// Relative errors beyond this are held at it, far above any path worth
// keeping, so that a rank (such an error and four squares below 2^32 more)
// and an extension's number fit in one 64-bit sort key.
const int64_t ERROR_CAP = (int64_t{1} << 52) - 1;
const int64_t NO_BOUND = INT64_MAX;
const int NUMBER_BITS = 10; // room for ADPCM_BEAM_WIDTH_MAX * EXTENSIONS extensions
const int BUCKET_BITS = 6;

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

// Bits of a non-zero value, up to the highest set.
inline int bit_length(uint64_t value) {
    return 64 - count_leading_zeros(value);
}

// A decoder state in one word: x + 32768 above, the step in the low 15 bits.
inline uint32_t pack_state(int32_t x, int32_t step) {
    return static_cast<uint32_t>(x + 32768) << 15 | static_cast<uint32_t>(step);
}

inline int32_t state_x(uint32_t state) {
    return static_cast<int32_t>(state >> 15) - 32768;
}

inline int32_t state_step(uint32_t state) {
    return static_cast<int32_t>(state & 0x7FFF);
}

// An extension of a kept path by one code. Its number, EXTENSIONS * parent
// + which, orders extensions as they were made.
struct Extension {
    int64_t error;
    int64_t rank; // the error and the least error of the next samples
    uint32_t state;
    uint16_t number_code; // number << 4 | code
};

// The targets of the samples after the current one, at most AHEAD, and
// the least and greatest of them.
struct Ahead {
    int count;
    int32_t target[AHEAD];
    int32_t low, high;
};

struct Beam {
    int width;
    int live;
    // The kept paths.
    std::vector<uint32_t> state;
    std::vector<int64_t> error; // relative to the best path's
    std::vector<uint16_t> anchor, next_anchor;
    // Extensions of the current sample within the bound, in the order made.
    std::vector<Extension> ext;
    // One extension for each cell, the best: listed in the order the cells
    // were first reached.
    std::vector<uint16_t> reps;
    std::vector<uint8_t> chosen; // of each extension: it is kept
    std::vector<uint64_t> keys;
    // Open-addressed table of the cells reached this sample, for merging.
    std::vector<uint64_t> table;
    uint32_t stamp;
    int hash_bits;
    // History rows: code and parent slot of every kept path.
    std::vector<uint8_t> row_code, row_parent;
    int64_t bound; // the guess for the next sample
};

void beam_init(Beam& beam, int width) {
    beam.width = width;
    beam.live = 1;
    beam.state.assign(width, pack_state(0, ADPCM_STEP_MIN));
    beam.error.assign(width, 0);
    beam.anchor.assign(width, 0);
    beam.next_anchor.assign(width, 0);
    size_t room = static_cast<size_t>(width) * EXTENSIONS;
    beam.ext.resize(room);
    beam.reps.resize(room);
    beam.chosen.resize(room);
    beam.keys.resize(room);
    // At least 8 slots for each extension: probing past the first is rare.
    beam.hash_bits = 3 + bit_length(room);
    beam.table.assign(size_t{1} << beam.hash_bits, 0);
    beam.stamp = 0;
    beam.row_code.assign(static_cast<size_t>(RING) * width, 0);
    beam.row_parent.assign(static_cast<size_t>(RING) * width, 0);
    beam.bound = NO_BOUND;
}

// Writes the extension of a path in (x, step) with `error` by `code` at
// `made`, and returns where the next goes: one further when its error is
// within `bound`, else the same place again. The decoder's update is done
// with selections, not branches: the codes tried are as good as random.
inline int extend(Extension* ext, int made, int32_t x, int32_t step, int64_t error, int32_t target,
                  int number, int code, int64_t bound) {
    int level = code & 7;
    int32_t d = (2 * level + 1) * step >> 3;
    int32_t down = -((code >> 3) & 1);
    x += (d ^ down) - down;
    x = std::min(std::max(x, int32_t{-32768}), int32_t{32767});
    step = std::min(std::max(step * STEP_FACTOR[level] >> 6, ADPCM_STEP_MIN), ADPCM_STEP_MAX);
    int64_t miss = target - x;
    error += miss * miss;
    ext[made].error = error;
    ext[made].state = pack_state(x, step);
    ext[made].number_code = static_cast<uint16_t>(number << 4 | code);
    return made + (error <= bound);
}

// Makes the extensions of every kept path toward `target` whose error is
// within `bound`. Returns how many.
int extend_all(Beam& beam, int32_t target, int64_t bound) {
    const uint32_t* states = beam.state.data();
    const int64_t* errors = beam.error.data();
    Extension* ext = beam.ext.data();
    int made = 0;
    for (int p = 0; p < beam.live; p++) {
        int32_t x = state_x(states[p]);
        int32_t step = state_step(states[p]);
        int32_t diff = target - x;
        int sign = diff < 0 ? 8 : 0;
        int level = greedy_level(diff < 0 ? -diff : diff, step);
        int greedy = sign | level;
        // The levels either side; at level 0 the smallest step the other
        // way, at level 7 level 5 (masks, again not branches).
        int bottom = -static_cast<int>(level == 0);
        int top = -static_cast<int>(level == 7);
        int lower = ((greedy - 1) & ~bottom) | ((sign ^ 8) & bottom);
        int upper = ((greedy + 1) & ~top) | ((sign | 5) & top);
        // And the largest step the same way, which grows the step fastest;
        // from level 6 or 7, level 4.
        int jump = sign | (7 - 3 * static_cast<int>(level >= 6));
        int number = EXTENSIONS * p;
        made = extend(ext, made, x, step, errors[p], target, number, greedy, bound);
        made = extend(ext, made, x, step, errors[p], target, number + 1, lower, bound);
        made = extend(ext, made, x, step, errors[p], target, number + 2, upper, bound);
        made = extend(ext, made, x, step, errors[p], target, number + 3, jump, bound);
    }
    return made;
}

// Ranks the `made` extensions: each one's error, plus for each sample
// ahead the square of how far its target lies beyond the reach of the
// decoder from the extension's state. A code moves x by at most 15/8 of the
// step, and the step grows by at most 153/64 a code, so no codes can come
// closer: the rank is a least error, never more than can be had. Keeps
// those whose rank is within `bound`, in order, and returns how many.
int rank_all(Beam& beam, int made, const Ahead& ahead, int64_t bound) {
    Extension* ext = beam.ext.data();
    int ranked = 0;
    for (int i = 0; i < made; i++) {
        Extension e = ext[i];
        int32_t x = state_x(e.state);
        int32_t step = state_step(e.state);
        int32_t reach = 15 * step >> 3;
        e.rank = e.error;
        // Mostly every target ahead is within the first code's reach.
        if (std::max(ahead.high - x, x - ahead.low) > reach) {
            for (int a = 0; a < ahead.count; a++) {
                int32_t distance = std::abs(ahead.target[a] - x);
                int64_t beyond = std::max(distance - reach, 0);
                e.rank += beyond * beyond;
                step = std::min(step * STEP_FACTOR[7] >> 6, ADPCM_STEP_MAX);
                reach += 15 * step >> 3;
            }
        }
        ext[ranked] = e;
        ranked += e.rank <= bound;
    }
    return ranked;
}

// The cell of a state: its step, and x to a quarter to half of the step
// (a power of two, the step's highest bit over 2).
inline uint32_t state_cell(uint32_t state) {
    int shift = bit_length(state & 0x7FFF) - 2;
    return (state >> 15 >> shift) << 15 | (state & 0x7FFF);
}

// Merges the `made` extensions by cell into `reps`, each cell's being its
// extension of lowest rank, the first made among equals. Returns how many
// cells. A table entry packs the sample's stamp (16 bits), the cell (31
// bits) and its place in `reps` (16 bits).
int merge_cells(Beam& beam, int made) {
    if (++beam.stamp == 1u << 16) {
        std::fill(beam.table.begin(), beam.table.end(), 0);
        beam.stamp = 1;
    }
    const Extension* ext = beam.ext.data();
    uint16_t* reps = beam.reps.data();
    uint64_t* table = beam.table.data();
    uint64_t stamp = beam.stamp;
    uint32_t mask = (uint32_t{1} << beam.hash_bits) - 1;
    int count = 0;
    for (int i = 0; i < made; i++) {
        uint32_t cell = state_cell(ext[i].state);
        uint64_t tag = stamp << 31 | cell;
        uint32_t slot = (cell * 2654435761u) >> (32 - beam.hash_bits);
        uint64_t entry = table[slot];
        // The slot holds another cell of this sample just when its entry
        // differs from the tag in the cell's bits alone.
        while (((entry >> 16 ^ tag) - 1) < (uint64_t{1} << 31) - 1) {
            slot = (slot + 1) & mask;
            entry = table[slot];
        }
        // A new cell takes the next place; a known one keeps its place and
        // takes this extension if it is better. Selections, not branches:
        // which of the two happens is as good as random.
        int known = static_cast<int>(entry >> 16 == tag);
        int place = count + ((static_cast<int>(entry & 0xFFFF) - count) & -known);
        int held = i ^ ((reps[place] ^ i) & -known);
        int better = static_cast<int>(ext[i].rank < ext[held].rank);
        reps[place] = static_cast<uint16_t>(held ^ ((held ^ i) & -better));
        table[slot] = tag << 16 | static_cast<uint64_t>(place);
        count += 1 - known;
    }
    return count;
}

// The sort key of an extension: its rank, then its number.
inline uint64_t sort_key(const Extension& ext) {
    return static_cast<uint64_t>(ext.rank) << NUMBER_BITS | ext.number_code >> 4;
}

// The key of the width-th best of the `count` cells (count > width), whose
// ranks lie in [low, high].
uint64_t threshold_key(Beam& beam, int count, int64_t low, int64_t high) {
    const Extension* ext = beam.ext.data();
    const uint16_t* reps = beam.reps.data();
    uint64_t* keys = beam.keys.data();
    int shift = std::max(0, bit_length(static_cast<uint64_t>(high - low) | 1) - BUCKET_BITS);
    uint16_t tally[1 << BUCKET_BITS] = {};
    for (int r = 0; r < count; r++) {
        tally[(ext[reps[r]].rank - low) >> shift]++;
    }
    int boundary = 0;
    int below = 0;
    while (below + tally[boundary] < beam.width) {
        below += tally[boundary++];
    }
    int gathered = 0;
    for (int r = 0; r < count; r++) {
        keys[gathered] = sort_key(ext[reps[r]]);
        gathered += ((ext[reps[r]].rank - low) >> shift) == boundary;
    }
    int need = beam.width - below;
    std::nth_element(keys, keys + (need - 1), keys + gathered);
    return keys[need - 1];
}

// One sample of the search: extends, merges and keeps the best `width`
// cells' extensions as the paths of sample `row`. Returns the error of the
// best kept path, which errors are made relative to again.
int64_t search_sample(Beam& beam, int64_t row, int32_t target, const Ahead& ahead) {
    int width = beam.width;
    int all = EXTENSIONS * beam.live;
    int made = extend_all(beam, target, beam.bound);
    int ranked = rank_all(beam, made, ahead, beam.bound);
    int count = ranked >= width || ranked == all ? merge_cells(beam, ranked) : 0;
    if (count < width && ranked < all) {
        made = extend_all(beam, target, NO_BOUND);
        ranked = rank_all(beam, made, ahead, NO_BOUND);
        count = merge_cells(beam, ranked);
    }
    const Extension* ext = beam.ext.data();
    const uint16_t* reps = beam.reps.data();
    uint64_t threshold = ~uint64_t{0};
    if (count > width) {
        int64_t low = ext[reps[0]].rank;
        int64_t high = low;
        for (int r = 1; r < count; r++) {
            low = std::min(low, ext[reps[r]].rank);
            high = std::max(high, ext[reps[r]].rank);
        }
        threshold = threshold_key(beam, count, low, high);
    }
    // The kept extensions become the paths in the order of their numbers,
    // which does not depend on the bound.
    uint8_t* chosen = beam.chosen.data();
    std::fill(chosen, chosen + ranked, 0);
    for (int r = 0; r < count; r++) {
        chosen[reps[r]] = sort_key(ext[reps[r]]) <= threshold;
    }
    uint8_t* codes = &beam.row_code[static_cast<size_t>(row % RING) * width];
    uint8_t* parents = &beam.row_parent[static_cast<size_t>(row % RING) * width];
    uint32_t* states = beam.state.data();
    int64_t* errors = beam.error.data();
    // Every extension is written to the next free slot, which only moves on
    // past the kept ones: no branch to mispredict.
    int kept = 0;
    int64_t best = NO_BOUND;
    int64_t worst = 0;
    for (int i = 0; i < ranked && kept < width; i++) {
        const Extension& e = ext[i];
        int parent = (e.number_code >> 4) / EXTENSIONS;
        states[kept] = e.state;
        errors[kept] = e.error;
        codes[kept] = static_cast<uint8_t>(e.number_code & 15);
        parents[kept] = static_cast<uint8_t>(parent);
        beam.next_anchor[kept] = beam.anchor[parent];
        int keep = chosen[i];
        best = std::min(best, e.error + (static_cast<int64_t>(1 - keep) << 62));
        worst = std::max(worst, e.rank & -static_cast<int64_t>(keep));
        kept += keep;
    }
    for (int p = 0; p < kept; p++) {
        errors[p] = std::min(errors[p] - best, ERROR_CAP);
    }
    beam.live = kept;
    std::swap(beam.anchor, beam.next_anchor);
    worst -= best;
    beam.bound = 2 * worst + 64;
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
        beam.state[kept] = beam.state[p];
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
        Ahead ahead;
        ahead.count = static_cast<int>(std::min(n - 1 - row, int64_t{AHEAD}));
        ahead.low = 65536; // with none ahead, nothing is out of reach
        ahead.high = -65536;
        for (int a = 0; a < ahead.count; a++) {
            ahead.target[a] = target[row + 1 + a];
            ahead.low = std::min(ahead.low, ahead.target[a]);
            ahead.high = std::max(ahead.high, ahead.target[a]);
        }
        total += search_sample(beam, row, target[row], ahead);
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
    if (n == 0) {
        return 0;
    }
    int last = best_path(beam);
    trace_back(beam, last, n - 1, written, codes);
    return total + beam.error[last];
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
