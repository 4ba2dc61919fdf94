// The manual against the program's source: every line the program can print
// is described in the manual's DIAGNOSTICS.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string read_text(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Runs of white space become one space, and the ends are trimmed.
std::string squeeze(const std::string& text) {
    std::string out;
    for (char c : text) {
        bool space = std::isspace(static_cast<unsigned char>(c)) != 0;
        if (space && (out.empty() || out.back() == ' ')) {
            continue;
        }
        out += space ? ' ' : c;
    }
    if (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

// Reads the C string literal that starts at `text[i]` (a quote), joined
// with the literals and format macros (PRId64 and the like) that follow it.
std::string read_format(const std::string& text, size_t i) {
    std::string format;
    while (i < text.size()) {
        if (text[i] == '"') {
            for (i++; i < text.size() && text[i] != '"'; i++) {
                if (text[i] == '\\' && i + 1 < text.size()) {
                    i++;
                    format += text[i] == 'n' ? '\n' : text[i] == 't' ? '\t' : text[i];
                } else {
                    format += text[i];
                }
            }
            i++;
        } else if (std::isspace(static_cast<unsigned char>(text[i])) != 0) {
            i++;
        } else if (text.compare(i, 3, "PRI") == 0) {
            format += "lld";
            while (i < text.size() && std::isalnum(static_cast<unsigned char>(text[i])) != 0) {
                i++;
            }
        } else {
            break;
        }
    }
    return format;
}

// Every format handed to out_printf or err_printf in the program's source.
std::vector<std::string> printed_formats() {
    std::vector<std::string> formats;
    const std::regex call(R"((out_printf|err_printf)\(\s*(stderr\s*,\s*)?")");
    for (const auto& entry :
         fs::recursive_directory_iterator(fs::path(QORVELIX_SOURCE_DIR) / "src")) {
        std::string text = read_text(entry.path());
        for (auto m = std::sregex_iterator(text.begin(), text.end(), call);
             m != std::sregex_iterator(); ++m) {
            size_t quote = static_cast<size_t>(m->position(0) + m->length(0) - 1);
            formats.push_back(read_format(text, quote));
        }
    }
    return formats;
}

// A pattern that matches the format as the manual shows it: its text with
// white space squeezed, and a word (a name in italics) for each conversion.
std::regex manual_pattern(const std::string& format) {
    const std::regex conversion(R"(%[-+ 0#]*[0-9]*(ll|l|h|z)?[diouxXsc])");
    std::string text = squeeze(format);
    std::string pattern;
    auto escape = [](const std::string& s) {
        std::string out;
        for (char c : s) {
            if (std::strchr("\\^$.|?*+()[]{}", c) != nullptr) {
                out += '\\';
            }
            out += c;
        }
        return out;
    };
    size_t done = 0;
    for (auto m = std::sregex_iterator(text.begin(), text.end(), conversion);
         m != std::sregex_iterator(); ++m) {
        pattern += escape(text.substr(done, static_cast<size_t>(m->position(0)) - done));
        pattern += R"(\S+)";
        done = static_cast<size_t>(m->position(0) + m->length(0));
    }
    pattern += escape(text.substr(done));
    return std::regex(pattern);
}

TEST(Manual, DescribesEveryLineTheProgramPrints) {
    std::string manual = squeeze(read_text(fs::path(QORVELIX_SOURCE_DIR) / "doc" / "qorvelix.txt"));
    ASSERT_NE(manual.find("DIAGNOSTICS"), std::string::npos);
    std::string diagnostics = manual.substr(manual.find("DIAGNOSTICS"));
    std::vector<std::string> formats = printed_formats();
    // The usage text, the banners and every report, warning and error line.
    EXPECT_GE(formats.size(), 35u);
    for (const std::string& format : formats) {
        EXPECT_TRUE(std::regex_search(diagnostics, manual_pattern(format)))
            << "not in the manual's DIAGNOSTICS: " << testing::PrintToString(format);
    }
}

// The pattern itself: conversions stand for one word, the rest is literal.
TEST(Manual, PatternsMatchNamesInPlaceOfConversions) {
    std::regex p = manual_pattern("  [QORVELIX] tone:%3d [%s/%3d]\n");
    EXPECT_TRUE(std::regex_search("x [QORVELIX] tone:n [source/m] y", p));
    EXPECT_FALSE(std::regex_search("[QORVELIX] tone: [source/m]", p));
    EXPECT_FALSE(std::regex_search("[QORVELIX] tone:n source/m", p));
    p = manual_pattern("E [QORVELIX] TOO Large PPC-File, %lld bytes\n");
    EXPECT_TRUE(std::regex_search("E [QORVELIX] TOO Large PPC-File, total bytes", p));
    p = manual_pattern("  [VIEW]            @ : strt  end  offset    size\n");
    EXPECT_TRUE(std::regex_search("[VIEW] @ : strt end offset size", p));
}

TEST(Manual, FormatsAreReadWithTheirMacros) {
    EXPECT_EQ(read_format(R"("a %" PRId64 " b\n", x)", 0), "a %lld b\n");
    EXPECT_EQ(read_format(R"("\nQ \"%s\"\n")", 0), "\nQ \"%s\"\n");
}

} // namespace
