// The bank lookup over byte buffers.
#include "bank/bank_lookup.h"
#include "scratch.h"

#include <gtest/gtest.h>

namespace {

struct Found {
    int result;
    int32_t offset;
    int32_t size;
    std::string printed;
};

Found find(const Bytes& bank, int32_t tone) {
    Found f{0, -99, -99, ""};
    testing::internal::CaptureStdout();
    f.result = find_bank_element("S.PPC", reinterpret_cast<const unsigned char*>(bank.data()),
                                 static_cast<int32_t>(bank.size()), tone, &f.offset, &f.size);
    f.printed = testing::internal::GetCapturedStdout();
    return f;
}

TEST(FindBankElement, TakesPresentTonesInsideTheFile) {
    Bytes bank =
        make_bank(0x29, {{0, 0x26, 0x27}, {12, 0x28, 0x28}, {13, 0x29, 0x28}}, Bytes(96, 'd'));
    Found f = find(bank, 12);
    EXPECT_EQ(f.result, LOOKUP_OK);
    EXPECT_EQ(f.offset, 1120);
    EXPECT_EQ(f.size, 32);
    EXPECT_EQ(f.printed, "");

    f = find(bank, 0);
    EXPECT_EQ(f.offset, 1056);
    EXPECT_EQ(f.size, 64);

    f = find(bank, 13); // zero length, at the very end
    EXPECT_EQ(f.result, LOOKUP_OK);
    EXPECT_EQ(f.offset, 1152);
    EXPECT_EQ(f.size, 0);
}

// Every refusal with its code and line; the header-word warning comes first
// and does not stop the lookup.
TEST(FindBankElement, Refusals) {
    const Bytes data(64, 'd');
    struct Case {
        Bytes bank;
        int32_t tone;
        int result;
        const char* printed;
    };
    const Case cases[] = {
        {make_bank(0x26, {}, "").substr(0, 1055), 0, LOOKUP_TOO_SHORT,
         "E [LINK] ERROR, too short File [S.PPC].\n"},
        {"", 0, LOOKUP_TOO_SHORT, "E [LINK] ERROR, too short File [S.PPC].\n"},
        {make_bank(0x28, {{0, 0x26, 0x27}}, data), 1, LOOKUP_NOT_FOUND,
         "E [LINK] NOT FOUND PPC-Element [S.PPC/@1]\n"},
        {make_bank(0x28, {{0, 0x26, 0x27}}, data), 256, LOOKUP_NOT_FOUND,
         "E [LINK] NOT FOUND PPC-Element [S.PPC/@256]\n"},
        {make_bank(0x28, {{0, 0x26, 0x27}}, data), -1, LOOKUP_NOT_FOUND,
         "E [LINK] NOT FOUND PPC-Element [S.PPC/@-1]\n"},
        {make_bank(0x28, {{0, 0x26, 0x27}}, data), INT32_MAX, LOOKUP_NOT_FOUND,
         "E [LINK] NOT FOUND PPC-Element [S.PPC/@2147483647]\n"},
        {make_bank(0, {{0, 0x26, 0x27}}, data), 3, LOOKUP_NOT_FOUND,
         "W [LINK] BAD Filesize(0x1E) [S.PPC]\n"
         "E [LINK] NOT FOUND PPC-Element [S.PPC/@3]\n"},
        {make_bank(0x28, {{0, 0x26, 0x28}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
        {make_bank(0x28, {{0, 0x04, 0x27}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
        // Starts inside the header and table, with their ends inside the file.
        {make_bank(0x28, {{0, 0x05, 0x27}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
        {make_bank(0x28, {{0, 0x25, 0x26}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
        {make_bank(0, {{0, 0x25, 0x24}}, data), 0, LOOKUP_BAD_FORMAT,
         "W [LINK] BAD Filesize(0x1E) [S.PPC]\nE [LINK] BAD PPC-Format [S.PPC]\n"},
        {make_bank(0x28, {{0, 0x01, 0x01}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
        {make_bank(0x28, {{0, 0x27, 0x25}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
        {make_bank(0x28, {{0, 0xFFFF, 0x0000}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
        {make_bank(0x28, {{0, 0x26, 0xFFFF}}, data), 0, LOOKUP_BAD_FORMAT,
         "E [LINK] BAD PPC-Format [S.PPC]\n"},
    };
    for (const Case& c : cases) {
        Found f = find(c.bank, c.tone);
        EXPECT_EQ(f.result, c.result) << c.printed;
        EXPECT_EQ(f.printed, c.printed);
        EXPECT_EQ(f.offset, -99) << "nothing stored on failure";
    }
}

TEST(FindBankElement, WrongHeaderWordStillTakesTheTone) {
    Found f = find(make_bank(0x99, {{4, 0x26, 0x26}}, Bytes(32, 'd')), 4);
    EXPECT_EQ(f.result, LOOKUP_OK);
    EXPECT_EQ(f.printed, "W [LINK] BAD Filesize(0x1E) [S.PPC]\n");
    EXPECT_EQ(f.size, 32);
}

} // namespace
