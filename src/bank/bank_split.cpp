#include "bank_split.h"

#include "bank_format.h"
#include "os/console.h"
#include "os/file_names.h"
#include "os/file_input.h"
#include "os/folder_output.h"
#include "os/outcome.h"

#include <cstdio>
#include <vector>

namespace {

// Whether the bank is laid out as link lays banks out: its tones back to
// back in ascending tone number from the first data block, and its header
// word the next free block, describing the file's size.
bool laid_out_as_linked(const unsigned char* head, int32_t file_size) {
    uint32_t next = FIRST_TONE_ADDRESS;
    for (int tone = 0; tone < TONE_COUNT; tone++) {
        BankEntry e = bank_entry(head, tone);
        if (e.start == 0) {
            continue;
        }
        if (e.start != next || !entry_inside_data(e, file_size)) {
            return false;
        }
        next = uint32_t{e.end} + 1;
    }
    return bank_header_word(head) == next && header_word_matches(head, file_size);
}

// Writes one file into the new folder; false after reporting a failure.
bool add_file(NewFolder* folder, const char* name, const std::string& bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (add_folder_file(folder, name, data, bytes.size()) != FOLDER_OK) {
        err_printf("E [SPLIT] write error [%s]\n", folder->name.c_str());
        return false;
    }
    return true;
}

// Writes every tone inside the data of `bank` (opened from `path`) as
// NNN.PCM and NNN.WAV, then the list NAME.LXI. Returns an Outcome.
int write_tones(const char* path, const InputFile& bank, const unsigned char* head,
                int32_t file_size, TonePreview preview, NewFolder* folder) {
    const std::string bank_name = std::string(path).substr(folder_length(path));
    const std::string folder_name = folder->name.substr(folder_length(folder->name));
    std::string list = ";\tsplit from " + bank_name + "\n*\t" + bank_name + "\n";
    for (int tone = 0; tone < TONE_COUNT; tone++) {
        BankEntry e = bank_entry(head, tone);
        if (e.start == 0 || !entry_inside_data(e, file_size)) {
            continue;
        }
        int32_t size = block_span_size(e.start, e.end);
        std::string bytes(static_cast<size_t>(size), '\0');
        // A bank that has become shorter since its head was read is a read
        // error too.
        if (int64_t{block_offset(e.start)} + size > bank.size ||
            !read_input(bank, block_offset(e.start), reinterpret_cast<unsigned char*>(&bytes[0]),
                        bytes.size())) {
            err_printf("E [SPLIT] read error [%s]\n", path);
            return OUTCOME_FATAL;
        }
        char name[16];
        std::snprintf(name, sizeof name, "%03d.PCM", tone);
        out_printf("  [SPLIT] tone:%3d [%s] %7d bytes\n", tone, name, size);
        list += std::to_string(tone) + "\t" + name + "\n";
        std::string recording;
        preview(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &recording);
        if (!add_file(folder, name, bytes)) {
            return OUTCOME_FATAL;
        }
        std::snprintf(name, sizeof name, "%03d.WAV", tone);
        if (!add_file(folder, name, recording)) {
            return OUTCOME_FATAL;
        }
    }
    if (!add_file(folder, (folder_name + ".LXI").c_str(), list)) {
        return OUTCOME_FATAL;
    }
    return OUTCOME_DONE;
}

} // namespace

std::string split_folder_name(const std::string& path) {
    size_t start = folder_length(path);
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= start) {
        return path + ".d";
    }
    return path.substr(0, dot);
}

int split_bank(const char* path, TonePreview preview) {
    unsigned char head[BANK_HEADER_SIZE];
    int32_t file_size = 0;
    int read = read_bank_head(path, head, &file_size);
    if (read == BANK_UNREADABLE) {
        out_printf("E [SPLIT] ERROR, cannot read File [%s].\n", path);
        return OUTCOME_FAILED;
    }
    if (read == BANK_TOO_SHORT) {
        out_printf("E [SPLIT] ERROR, too short File [%s].\n", path);
        return OUTCOME_FAILED;
    }
    const std::string folder_name = split_folder_name(path);
    out_printf("  [SPLIT] Folder [%s]\n", folder_name.c_str());
    for (int tone = 0; tone < TONE_COUNT; tone++) {
        BankEntry e = bank_entry(head, tone);
        if (e.start != 0 && !entry_inside_data(e, file_size)) {
            out_printf("W [SPLIT] BAD PPC-Format, tone left out [%s/@%d]\n", path, tone);
        }
    }
    if (!laid_out_as_linked(head, file_size)) {
        out_printf("W [SPLIT] not laid out as link lays banks out, relinked bank differs [%s]\n",
                   path);
    }
    NewFolder folder;
    int begun = begin_folder(folder_name.c_str(), &folder);
    if (begun == FOLDER_EXISTS) {
        out_printf("E [SPLIT] ALREADY EXISTS [%s]\n", folder_name.c_str());
        return OUTCOME_FAILED;
    }
    if (begun != FOLDER_OK) {
        err_printf("E [SPLIT] cannot make [%s]\n", folder_name.c_str());
        return OUTCOME_FATAL;
    }
    InputFile bank;
    int written = OUTCOME_FATAL;
    if (open_input(path, &bank) != 0) {
        err_printf("E [SPLIT] read error [%s]\n", path);
    } else {
        written = write_tones(path, bank, head, file_size, preview, &folder);
        close_input(&bank);
    }
    if (written != OUTCOME_DONE) {
        abandon_folder(&folder);
        return written;
    }
    int finished = finish_folder(&folder);
    if (finished == FOLDER_EXISTS) {
        out_printf("E [SPLIT] ALREADY EXISTS [%s]\n", folder_name.c_str());
        return OUTCOME_FAILED;
    }
    if (finished != FOLDER_OK) {
        err_printf("E [SPLIT] write error [%s]\n", folder_name.c_str());
        return OUTCOME_FATAL;
    }
    err_printf("  [SPLIT] done [%s]\n", folder_name.c_str());
    return OUTCOME_DONE;
}
