// Reads that a signal interrupts go on where they stopped.
#include "faulty_platform.h"
#include "os/file_input.h"
#include "scratch.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(ReadFiles, InterruptedReadsGoOn) {
    ScratchDir dir;
    const Bytes data = pattern_bytes(100, 9);
    write_file(dir / "T.PCM", data);
    write_file(dir / "L.LXI", "*\tOUT.PPC\n0\tT.PCM\n");
    unsigned char part[40];
    fail_primitive("read_some", 1, EINTR);
    EXPECT_EQ(read_file_range((dir / "T.PCM").c_str(), 50, 40, part), 100);
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(part), 40), data.substr(50, 40));
    fail_primitive("read_some", 1, EINTR);
    ListText text = read_list_text((dir / "L.LXI").c_str());
    ASSERT_TRUE(text);
    EXPECT_EQ(Bytes(text.get()), "*\tOUT.PPC\n0\tT.PCM\n");
    EXPECT_GE(primitive_calls("read_some"), 2);
}

} // namespace
