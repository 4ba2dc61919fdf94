#include "tone_list.h"

#include "os/console.h"

#include <cstring>

char* split_fields(char* line, char* fields[], int count) {
    for (int i = 0; i < count; i++) {
        fields[i] = nullptr;
    }
    fields[0] = line;
    int started = 1;
    char* p = line;
    while (*p != '\0' && *p != '\n') {
        if (*p == '\t') {
            *p = '\0';
            if (started < count) {
                fields[started++] = p + 1;
            }
        }
        p++;
    }
    if (*p == '\n') {
        *p = '\0';
        return p + 1;
    }
    return p;
}

int32_t parse_list_number(const char* text) {
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') {
        p++;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        p++;
    }
    // Accumulate in 64 bits and stop growing once past the 32-bit range, so
    // any run of digits saturates instead of wrapping.
    const int64_t cap = int64_t{INT32_MAX} + 1;
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        if (value < cap) {
            value = value * 10 + (*p - '0');
        }
    }
    if (negative) {
        return value >= cap ? INT32_MIN : static_cast<int32_t>(-value);
    }
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

const char* parse_tone_list(char* text, ToneTable table) {
    std::memset(table, 0, sizeof(ToneTable));
    const char* output = nullptr;
    int line_number = 0;
    char* p = text;
    // A byte-order mark that an editor put at the head of the list is not
    // part of its first line.
    if (p[0] == '\xEF' && p[1] == '\xBB' && p[2] == '\xBF') {
        p += 3;
    }
    while (*p != '\0') {
        char* fields[3];
        p = split_fields(p, fields, 3);
        const char* first = fields[0];
        if (first[0] == '\0' || first[0] == ';') {
            // empty line, line led by a TAB, or comment
        } else if (std::strcmp(first, "*") == 0) {
            output = fields[1];
            out_printf("  [QORVELIX] PPC-Filename [%s]\n", printable(output));
        } else {
            int32_t tone = parse_list_number(first);
            if (tone < 0 || tone >= TONE_COUNT) {
                out_printf("E [QORVELIX] BAD @-Number, line.%d\n", line_number);
                return nullptr;
            }
            if (fields[1] == nullptr || fields[1][0] == '\0') {
                out_printf("E [QORVELIX] NO PCM-Filename, line.%d.\n", line_number);
                return nullptr;
            }
            ToneSlot& slot = table[tone];
            slot.name = fields[1];
            slot.line = line_number;
            if (fields[2] != nullptr) {
                slot.source_tone = parse_list_number(fields[2]);
            }
            out_printf("  [QORVELIX] tone:%3d [%s/%3d]\n", tone, slot.name, slot.source_tone);
        }
        line_number++;
    }
    if (output == nullptr || output[0] == '\0') {
        out_printf("E [QORVELIX] ERROR, PPC-Filename not found.\n");
        return nullptr;
    }
    return output;
}
