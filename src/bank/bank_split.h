// The split operation: takes a bank apart into a folder holding each tone's
// bytes, a recording of each tone to listen to, and a list that links the
// bank back.
#pragma once

#include <cstddef>
#include <string>

// Makes the file a musician listens to a tone with from the tone's bytes
// (a recording of the decoded tone), into `file`.
using TonePreview = void (*)(const unsigned char* tone, size_t size, std::string* file);

// The folder split writes for the bank `path`: beside it, named as the bank
// without its extension, or with ".d" added where the name has none.
std::string split_folder_name(const std::string& path);

// Entry point of "split", with the previews made by `preview`: an Outcome.
// Done when the folder is in place; failed after reporting a bank that
// cannot be read or is too short, or a folder that exists already; fatal
// when the folder cannot be made or written, or the bank cannot be read
// again for its tones.
int split_bank(const char* path, TonePreview preview);
