// The copy and gathering steps of the bank writer, fed files that change or
// are far larger than what is taken from them.
#include "bank/bank_lookup.h"
#include "bank/bank_view.h"
#include "link/link.h"
#include "link/tone_source.h"
#include "os/file_input.h"
#include "os/outcome.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/resource.h>

namespace {

struct Copied {
    int result;
    Bytes dest;
    Bytes err;
};

Copied copy(const std::string& name, int32_t size, int32_t offset, size_t room) {
    Copied c;
    c.dest.assign(room, '#');
    testing::internal::CaptureStderr();
    c.result =
        copy_source(reinterpret_cast<unsigned char*>(c.dest.data()), name.c_str(), size, offset);
    c.err = testing::internal::GetCapturedStderr();
    return c;
}

TEST(CopySource, CopiesExactlyTheToneAndNothingAround) {
    ScratchDir dir;
    Bytes data = pattern_bytes(200, 5);
    write_file(dir / "S.PPC", data);
    Copied c = copy(dir / "S.PPC", 64, 100, 70);
    EXPECT_EQ(c.result, 0);
    EXPECT_EQ(c.dest, data.substr(100, 64) + "######");
    EXPECT_EQ(c.err, "");

    c = copy(dir / "S.PPC", 0, 200, 4); // an empty tone at the very end
    EXPECT_EQ(c.result, 0);
    EXPECT_EQ(c.dest, "####");
}

// A source measured at one size and found shorter when it is copied: the run
// must stop with the read error, whatever part of the tone is still there.
TEST(CopySource, SourceShorterThanItsMeasuredToneIsAReadError) {
    ScratchDir dir;
    std::string name = dir / "S.PCM";
    write_file(name, pattern_bytes(40, 1));
    const Bytes failed =
        "E [QORVELIX] File read error.\n- [QORVELIX] READ PCM Failed [" + name + "]\n";
    struct Case {
        int32_t size;
        int32_t offset;
    };
    const Case cases[] = {{64, 0},    {41, 0},        {32, 9},        {1, 40},
                          {32, 1056}, {INT32_MAX, 0}, {32, INT32_MAX}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << "+" << c.size);
        Copied r = copy(name, c.size, c.offset, 64);
        EXPECT_EQ(r.result, -1);
        EXPECT_EQ(r.err, failed);
    }
    EXPECT_EQ(copy(name, 40, 0, 64).result, 0);
}

TEST(CopySource, MissingAndUnmeasurableSources) {
    ScratchDir dir;
    std::string missing = dir / "gone.PCM";
    Copied c = copy(missing, 32, 0, 32);
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(c.err, "E [QORVELIX] Error, input file not found. [" + missing +
                         "]\n- [QORVELIX] READ PCM Failed [" + missing + "]\n");

    std::string big = dir / "big.PPC";
    if (!make_sparse_file(big, int64_t{1} << 31)) {
        GTEST_SKIP() << "no sparse files here";
    }
    c = copy(big, 32, 1056, 32);
    EXPECT_EQ(c.result, -1);
    EXPECT_EQ(c.err,
              "E [QORVELIX] cannot get file status.\n- [QORVELIX] READ PCM Failed [" + big + "]\n");
}

// A laid-out table whose second tone's source has shrunk since the layout:
// gathering stops there, after the first tone has been copied.
TEST(GatherBank, StopsAtTheFirstSourceThatShrank) {
    ScratchDir dir;
    std::string a = dir / "A.PCM", b = dir / "B.PPC";
    Bytes tone_a = pattern_bytes(32, 3);
    write_file(a, tone_a);
    write_file(b, make_bank(0x28, {{0, 0x26, 0x27}}, Bytes(40, 'b'))); // 24 bytes short
    ToneTable table = {};
    table[2] = ToneSlot{a.c_str(), 32, 0, 0, 1, 0x26, 0x26, 1, 0};
    table[9] = ToneSlot{b.c_str(), 64, 0, 1056, 2, 0x27, 0x28, 2, 0};
    const int32_t total = 1056 + 96;
    Bytes image(total, '#');
    testing::internal::CaptureStderr();
    int result = gather_bank(table, total, reinterpret_cast<unsigned char*>(image.data()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "E [QORVELIX] File read error.\n- [QORVELIX] READ PCM Failed [" + b + "]\n");
    EXPECT_EQ(result, -1);
    Bytes expected = make_bank(0x29, {{2, 0x26, 0x26}, {9, 0x27, 0x28}}, tone_a);
    EXPECT_EQ(image.substr(0, expected.size()), expected);

    write_file(b, make_bank(0x28, {{0, 0x26, 0x27}}, Bytes(64, 'b')));
    testing::internal::CaptureStderr();
    EXPECT_EQ(gather_bank(table, total, reinterpret_cast<unsigned char*>(image.data())), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(image, expected + Bytes(64, 'b'));
}

// The 16-bit fields are little-endian on every host: checked against literal
// bytes, not against the helpers that write them. A tone of 256 blocks puts
// a one in the high byte of its end address and of the header word.
TEST(GatherBank, FieldsAreLittleEndianOnEveryHost) {
    ScratchDir dir;
    std::string a = dir / "A.PCM";
    write_file(a, pattern_bytes(8192, 5));
    ToneTable table = {};
    table[1] = ToneSlot{a.c_str(), 8192, 0, 0, 256, 0x26, 0x125, 1, 0};
    Bytes image(1056 + 8192, '#');
    ASSERT_EQ(gather_bank(table, 1056 + 8192, reinterpret_cast<unsigned char*>(image.data())), 0);
    EXPECT_EQ(image.substr(0x1E, 10), Bytes("\x26\x01\0\0\0\0\x26\0\x25\x01", 10));
    const auto* bank = reinterpret_cast<const unsigned char*>(image.data());
    EXPECT_EQ(bank_header_word(bank), 0x126);
    EXPECT_EQ(bank_entry(bank, 1).end, 0x125);
}

long peak_rss_kib() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Viewing, looking up and copying a tone of a 2 GiB bank, and taking it as a
// list, cost a few KiB: none of them reads the file whole.
TEST(BoundedCost, HugeBankIsReadOnlyWhereNeeded) {
    ScratchDir dir;
    std::string path = dir / "HUGE.PPC";
    if (!make_sparse_file(path, int64_t{INT32_MAX})) {
        GTEST_SKIP() << "no sparse files here";
    }
    Bytes head = make_bank(0x27, {{0, 0x26, 0x26}}, pattern_bytes(32, 7));
    ASSERT_TRUE(patch_file(path, 0, head));
    long before = peak_rss_kib();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(view_bank(path.c_str()), OUTCOME_DONE);
    int32_t offset = -1, size = -1;
    EXPECT_EQ(lookup_bank_element(path.c_str(), 0, &offset, &size), LOOKUP_OK);
    unsigned char tone[32];
    EXPECT_EQ(copy_source(tone, path.c_str(), size, offset), 0);
    EXPECT_TRUE(read_list_text(path.c_str()));
    Bytes out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_LT(peak_rss_kib() - before, 16 * 1024) << "a huge file was read whole";

    EXPECT_EQ(offset, 1056);
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(tone), 32), pattern_bytes(32, 7));
    EXPECT_NE(out.find("  [VIEW] PPC FileSize : 2147483647 bytes\n"), Bytes::npos) << out;
    EXPECT_NE(out.find("  [VIEW] PCM Tone   0 : 0026 0026    1056      32\n"), Bytes::npos);
    EXPECT_NE(out.find("W [LINK] BAD Filesize(0x1E) [" + path + "]\n"), Bytes::npos);
}

} // namespace
