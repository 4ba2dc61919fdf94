// The three readers, fed files made in a scratch directory.
#include "scratch.h"
#include "os/file_input.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

Bytes list_text_of(const std::string& path) {
    ListText text = read_list_text(path.c_str());
    EXPECT_TRUE(text);
    return text ? Bytes(text.get()) : Bytes();
}

TEST(ReadFileRange, ReadsAWholeFileAsItIs) {
    ScratchDir dir;
    write_file(dir / "a", Bytes("ab\0c", 4));
    unsigned char data[6] = {'#', '#', '#', '#', '#', '#'};
    ASSERT_EQ(read_file_range((dir / "a").c_str(), 0, 6, data), 4);
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(data), 6), Bytes("ab\0c##", 6));
}

TEST(ReadFileRange, EmptyFileReadsAsNothing) {
    ScratchDir dir;
    write_file(dir / "empty", "");
    unsigned char data[1] = {'#'};
    ASSERT_EQ(read_file_range((dir / "empty").c_str(), 0, 1, data), 0);
    EXPECT_EQ(data[0], '#');
    EXPECT_EQ(get_plain_size((dir / "empty").c_str()), 0);
    ListText text = read_list_text((dir / "empty").c_str());
    ASSERT_TRUE(text);
    EXPECT_EQ(text[0], '\0');
    EXPECT_EQ(text[1], '\0');
}

TEST(ReadFileRange, MissingFileReportsOnlyFromTheBinaryReader) {
    ScratchDir dir;
    std::string missing = dir / "missing.PPC";
    unsigned char data[1] = {'#'};
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_file_range(missing.c_str(), 0, 1, data), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "E [QORVELIX] Error, input file not found. [" + missing + "]\n");
    EXPECT_EQ(data[0], '#');

    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(get_plain_size(missing.c_str()), -1);
    EXPECT_FALSE(read_list_text(missing.c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// A directory, a FIFO (even with a writer, so opening it would not wait) or a
// device is refused by its status; only the list may be a FIFO or device.
TEST(ReadFileRange, OnlyRegularFilesAreRead) {
    ScratchDir dir;
    std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    int holder = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    for (const std::string& path : {dir.path, fifo, std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        testing::internal::CaptureStderr();
        unsigned char part[4];
        EXPECT_EQ(read_file_range(path.c_str(), 0, 4, part), -1);
        EXPECT_EQ(read_file_range(path.c_str(), 2, 2, part), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "E [QORVELIX] cannot get file status.\nE [QORVELIX] cannot get file status.\n");
        EXPECT_EQ(get_plain_size(path.c_str()), -2);
    }
    close(holder);
    EXPECT_FALSE(read_list_text(dir.path.c_str()));
    EXPECT_EQ(list_text_of("/dev/null"), "");
}

// Sparse files of 2^31 - 1 bytes (the largest size that fits), 2^31 bytes
// and 2^32 + 64 bytes; false where the file system cannot make them.
bool make_size_limit_files(const std::string& fits, const std::string& big,
                           const std::string& huge) {
    return make_sparse_file(fits, (int64_t{1} << 31) - 1) &&
           make_sparse_file(big, int64_t{1} << 31) &&
           make_sparse_file(huge, (int64_t{1} << 32) + 64);
}

// Sizes that do not fit a signed 32-bit count are a status that cannot be
// read; the largest size that fits is measured as it is.
TEST(FileSizes, TwoGibibytesAndMoreCannotBeMeasured) {
    ScratchDir dir;
    std::string fits = dir / "fits", big = dir / "big", huge = dir / "huge";
    if (!make_size_limit_files(fits, big, huge)) {
        GTEST_SKIP() << "no sparse files here";
    }
    EXPECT_EQ(get_plain_size(fits.c_str()), 2147483647);
    for (const std::string& path : {big, huge}) {
        EXPECT_EQ(get_plain_size(path.c_str()), -2);
        EXPECT_FALSE(read_list_text(path.c_str()));
        unsigned char part[4];
        testing::internal::CaptureStderr();
        EXPECT_EQ(read_file_range(path.c_str(), 0, 4, part), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "E [QORVELIX] cannot get file status.\n");
    }
}

TEST(ReadListText, LineEndsAndCtrlZ) {
    ScratchDir dir;
    struct Case {
        Bytes raw;
        Bytes text;
    };
    const Case cases[] = {
        {"*\tOUT.PPC\r\n0\tA.PCM\r\n", "*\tOUT.PPC\n0\tA.PCM\n"},
        {"*\tOUT.PPC\n0\tA.PCM\n", "*\tOUT.PPC\n0\tA.PCM\n"},
        {"a\rb\r", "a\rb\r"},   // a lone CR stays, the last byte included
        {"a\r\r\nb", "a\r\nb"}, // only the CR just before the LF goes
        {"a\nb\x1A"
         "c\n",
         "a\nb"}, // Ctrl-Z ends the text
        {"\x1A\r\n", ""},
        {"a\r\x1A\n", "a\r"}, // a CR before Ctrl-Z is not a pair
        {"\r\n\r\n", "\n\n"},
    };
    for (const Case& c : cases) {
        write_file(dir / "list", c.raw);
        EXPECT_EQ(list_text_of(dir / "list"), c.text) << testing::PrintToString(c.raw);
    }
}

// Files of /proc and /sys report a size of 0 but hold text: a list there is
// read to its end, as a pipe is.
TEST(ReadListText, FileThatReportsNoSizeIsReadToItsEnd) {
    if (!file_exists("/proc/self/status")) {
        GTEST_SKIP() << "no /proc here";
    }
    EXPECT_EQ(list_text_of("/proc/self/status").substr(0, 5), "Name:");
}

TEST(ReadListText, TextIsFollowedOnlyByZeros) {
    ScratchDir dir;
    write_file(dir / "list", "x\r\ny\r\nz\x1Atail");
    ListText text = read_list_text((dir / "list").c_str());
    ASSERT_TRUE(text);
    const size_t size = 11;
    EXPECT_EQ(Bytes(text.get()), "x\ny\nz");
    for (size_t i = 5; i < size + 2; i++) {
        EXPECT_EQ(text[i], '\0') << i;
    }
}

} // namespace

namespace {

// What one read_file_range call gave: its result, the bytes it left in a
// destination pre-filled with '#', and its standard error.
struct Ranged {
    int32_t result;
    Bytes dest;
    Bytes err;
};

Ranged read_range(const std::string& path, int32_t offset, int32_t count, size_t room = 8) {
    Bytes dest(room, '#');
    testing::internal::CaptureStderr();
    Ranged r;
    r.result =
        read_file_range(path.c_str(), offset, count, reinterpret_cast<unsigned char*>(dest.data()));
    r.err = testing::internal::GetCapturedStderr();
    r.dest = dest;
    return r;
}

// The part asked for is cut at the end of the file, and the whole file's size
// comes back whatever part was read.
TEST(ReadFileRange, ReadsThePartInsideTheFile) {
    ScratchDir dir;
    write_file(dir / "f", "0123456789");
    struct Case {
        int32_t offset;
        int32_t count;
        Bytes dest;
    };
    const Case cases[] = {
        {0, 4, "0123####"},  {3, 4, "3456####"},  {8, 4, "89######"},  {0, 8, "01234567"},
        {9, 8, "9#######"},  {10, 4, "########"}, {11, 4, "########"}, {0, 0, "########"},
        {-1, 4, "########"}, {2, -1, "########"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << "+" << c.count);
        Ranged r = read_range(dir / "f", c.offset, c.count);
        EXPECT_EQ(r.result, 10);
        EXPECT_EQ(r.dest, c.dest);
        EXPECT_EQ(r.err, "");
    }
    write_file(dir / "empty", "");
    EXPECT_EQ(read_range(dir / "empty", 0, 8).result, 0);
}

TEST(ReadFileRange, FailuresPrintTheWholeFileReadersLines) {
    ScratchDir dir;
    std::string missing = dir / "missing";
    Ranged r = read_range(missing, 0, 4);
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.err, "E [QORVELIX] Error, input file not found. [" + missing + "]\n");
    EXPECT_EQ(r.dest, "########");

    r = read_range(dir.path, 0, 4);
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.err, "E [QORVELIX] cannot get file status.\n");
}

TEST(ReadFileRange, SparseFilesAroundTheSizeLimit) {
    ScratchDir dir;
    std::string fits = dir / "fits", big = dir / "big", huge = dir / "huge";
    if (!make_size_limit_files(fits, big, huge)) {
        GTEST_SKIP() << "no sparse files here";
    }
    Ranged r = read_range(fits, INT32_MAX - 3, 8);
    EXPECT_EQ(r.result, INT32_MAX);
    EXPECT_EQ(r.dest, Bytes(3, '\0') + "#####");
    for (const std::string& path : {big, huge}) {
        r = read_range(path, 0, 8);
        EXPECT_EQ(r.result, -1);
        EXPECT_EQ(r.err, "E [QORVELIX] cannot get file status.\n");
    }
}

// Lists longer than one read chunk: the buffer grows, a CR LF pair split
// between two chunks still becomes one LF, and a zero byte far into the file
// ends the text.
TEST(ReadListText, LongListsAcrossReadChunks) {
    ScratchDir dir;
    const size_t chunk = 64 * 1024;
    Bytes raw(chunk - 1, 'a');
    raw += "\r\n";
    raw += Bytes(3 * chunk, 'b');
    raw += "\r\nend";
    write_file(dir / "list", raw);
    EXPECT_EQ(list_text_of(dir / "list"),
              Bytes(chunk - 1, 'a') + "\n" + Bytes(3 * chunk, 'b') + "\nend");

    write_file(dir / "list", Bytes(2 * chunk + 5, 'c') + Bytes(1, '\0') + Bytes(chunk, 'd'));
    EXPECT_EQ(list_text_of(dir / "list"), Bytes(2 * chunk + 5, 'c'));
}

} // namespace
