// The tone list reader, fed list text from literals.
#include "link/tone_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The result of parsing one list: the output name, what was printed, and
// the table.
struct Parsed {
    std::string output; // "<none>" when parsing failed
    std::string printed;
    std::vector<ToneSlot> slots;
};

Parsed parse(const std::string& list) {
    std::vector<char> text(list.begin(), list.end());
    text.push_back('\0');
    text.push_back('\0');
    ToneTable table;
    testing::internal::CaptureStdout();
    const char* output = parse_tone_list(text.data(), table);
    Parsed p;
    p.printed = testing::internal::GetCapturedStdout();
    p.output = output != nullptr ? output : "<none>";
    for (const ToneSlot& s : table) {
        ToneSlot copy = s;
        copy.name = nullptr; // points into `text`, which is about to go
        p.slots.push_back(copy);
    }
    return p;
}

TEST(SplitFields, SplitsAtEveryTabAndStopsAtTheLineEnd) {
    char line[] = "1\tA.PCM\t\t4\t5\nnext";
    char* fields[3];
    char* next = split_fields(line, fields, 3);
    EXPECT_STREQ(fields[0], "1");
    EXPECT_STREQ(fields[1], "A.PCM");
    EXPECT_STREQ(fields[2], ""); // two TABs in a row enclose an empty field
    EXPECT_STREQ(next, "next");

    char last[] = "x";
    next = split_fields(last, fields, 3);
    EXPECT_STREQ(fields[0], "x");
    EXPECT_EQ(fields[1], nullptr);
    EXPECT_EQ(fields[2], nullptr);
    EXPECT_EQ(*next, '\0');

    char trailing[] = "x\t\n";
    split_fields(trailing, fields, 3);
    EXPECT_STREQ(fields[1], "");
    EXPECT_EQ(fields[2], nullptr);
}

TEST(ParseListNumber, FollowsTheListRule) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"0", 0},
        {"255", 255},
        {" \v\f\r12", 12},
        {"+7", 7},
        {"-3", -3},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"+", 0},
        {"- 5", 0},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"4294967296", INT32_MAX}, // wraps to 0 in 32 bits
        {"4294967299", INT32_MAX}, // wraps to 3 in 32 bits
        {"99999999999999999999999999", INT32_MAX},
        {"-99999999999999999999999999", INT32_MIN},
        {"000000000000000000000000042", 42},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse_list_number(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(ParseToneList, ExampleList) {
    Parsed p = parse(";\tcomment\n*\tOUT.PPC\n0\tBASS.PCM\n5\tOLD.PPC\t12\n");
    EXPECT_EQ(p.output, "OUT.PPC");
    EXPECT_EQ(p.printed, "  [QORVELIX] PPC-Filename [OUT.PPC]\n"
                         "  [QORVELIX] tone:  0 [BASS.PCM/  0]\n"
                         "  [QORVELIX] tone:  5 [OLD.PPC/ 12]\n");
    EXPECT_EQ(p.slots[5].source_tone, 12);
}

// Each bad list with the exact lines it prints; the first error ends it.
TEST(ParseToneList, Errors) {
    struct Case {
        const char* list;
        const char* printed;
    };
    const Case cases[] = {
        {"256\tA.PCM\n*\tO.PPC\n", "E [QORVELIX] BAD @-Number, line.0\n"},
        {"*\tO.PPC\n-1\tA.PCM\n", "  [QORVELIX] PPC-Filename [O.PPC]\n"
                                  "E [QORVELIX] BAD @-Number, line.1\n"},
        {"4294967296\tA.PCM\n", "E [QORVELIX] BAD @-Number, line.0\n"},
        {"-4294967296\tA.PCM\n", "E [QORVELIX] BAD @-Number, line.0\n"},
        {"3\t\n", "E [QORVELIX] NO PCM-Filename, line.0.\n"},
        {"3\n", "E [QORVELIX] NO PCM-Filename, line.0.\n"},
        {"   \n*\tO.PPC\n", "E [QORVELIX] NO PCM-Filename, line.0.\n"},
        {";c\n\n\t9\tx\n;\n3\n", "E [QORVELIX] NO PCM-Filename, line.4.\n"},
        {"\r\n7\n", "E [QORVELIX] NO PCM-Filename, line.0.\n"}, // a lone CR is a field
        {"", "E [QORVELIX] ERROR, PPC-Filename not found.\n"},
        {"*\n", "  [QORVELIX] PPC-Filename [(null)]\n"
                "E [QORVELIX] ERROR, PPC-Filename not found.\n"},
        {"*\tO.PPC\n*\t\n", "  [QORVELIX] PPC-Filename [O.PPC]\n"
                            "  [QORVELIX] PPC-Filename []\n"
                            "E [QORVELIX] ERROR, PPC-Filename not found.\n"},
        {"0\tA.PCM\n", "  [QORVELIX] tone:  0 [A.PCM/  0]\n"
                       "E [QORVELIX] ERROR, PPC-Filename not found.\n"},
    };
    for (const Case& c : cases) {
        Parsed p = parse(c.list);
        EXPECT_EQ(p.output, "<none>") << testing::PrintToString(c.list);
        EXPECT_EQ(p.printed, c.printed) << testing::PrintToString(c.list);
    }
}

TEST(ParseToneList, LineKindsAndFields) {
    Parsed p = parse("\t*\tIGNORED.PPC\n"        // led by a TAB: ignored
                     ";*\tX\n"                   // comment
                     "*\tFIRST.PPC\textra\n"     // field 3 of an output line is ignored
                     "word\tW.PCM\n"             // no digits: tone 0
                     "1\tA.PPC\t7\tignored\t9\n" // a third TAB ends field 3
                     "2\tB.PPC\t\n"              // present, empty field 3: source tone 0
                     "1\tC.PPC\n"                // replaces the name, keeps the source tone
                     " 3\t D.PCM \n"             // nothing is trimmed from names
                     "*\tSECOND.PPC");           // the last output line wins; no final LF
    EXPECT_EQ(p.output, "SECOND.PPC");
    EXPECT_EQ(p.printed, "  [QORVELIX] PPC-Filename [FIRST.PPC]\n"
                         "  [QORVELIX] tone:  0 [W.PCM/  0]\n"
                         "  [QORVELIX] tone:  1 [A.PPC/  7]\n"
                         "  [QORVELIX] tone:  2 [B.PPC/  0]\n"
                         "  [QORVELIX] tone:  1 [C.PPC/  7]\n"
                         "  [QORVELIX] tone:  3 [ D.PCM /  0]\n"
                         "  [QORVELIX] PPC-Filename [SECOND.PPC]\n");
    EXPECT_EQ(p.slots[1].source_tone, 7);
}

// A byte-order mark is skipped at the very head of the list only; anywhere
// else its bytes belong to the field they stand in.
TEST(ParseToneList, ByteOrderMarkAtTheHeadOnly) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string named = "  [QORVELIX] PPC-Filename [O.PPC]\n";
    struct Case {
        std::string list;
        std::string output;
        std::string printed;
    };
    const Case cases[] = {
        {bom + ";\tmy bank\n*\tO.PPC\n", "O.PPC", named},
        {bom + "*\tO.PPC\n", "O.PPC", named},
        {bom + "5\tA.PCM\n*\tO.PPC\n", "O.PPC", "  [QORVELIX] tone:  5 [A.PCM/  0]\n" + named},
        {"*\tO.PPC\n" + bom + "5\tA.PCM\n", "O.PPC", named + "  [QORVELIX] tone:  0 [A.PCM/  0]\n"},
        {bom + bom + "*\tO.PPC\n", "<none>",
         "  [QORVELIX] tone:  0 [O.PPC/  0]\nE [QORVELIX] ERROR, PPC-Filename not found.\n"},
        {"\xEF\xBB*\tO.PPC\n", "<none>",
         "  [QORVELIX] tone:  0 [O.PPC/  0]\nE [QORVELIX] ERROR, PPC-Filename not found.\n"},
    };
    for (const Case& c : cases) {
        Parsed p = parse(c.list);
        EXPECT_EQ(p.output, c.output) << testing::PrintToString(c.list);
        EXPECT_EQ(p.printed, c.printed) << testing::PrintToString(c.list);
    }
}

TEST(ParseToneList, SourceToneIsReadWithTheNumberRule) {
    Parsed p = parse("*\tO.PPC\n0\tA.PPC\t99999999999\n1\tB.PPC\t-5\n2\tC.PPC\tx\n");
    EXPECT_EQ(p.printed, "  [QORVELIX] PPC-Filename [O.PPC]\n"
                         "  [QORVELIX] tone:  0 [A.PPC/2147483647]\n"
                         "  [QORVELIX] tone:  1 [B.PPC/ -5]\n"
                         "  [QORVELIX] tone:  2 [C.PPC/  0]\n");
}

} // namespace
