// Readers for every file the program takes in: whole binary files, the tone
// list as text, and the size of a plain tone file.
#pragma once

#include <cstdint>
#include <memory>

// Reads the file at `path` whole. On success `data` holds its bytes followed
// by one zero byte and the size is returned. On failure one line is printed
// on standard error and -1 is returned.
int32_t read_whole_file(const char* path, std::unique_ptr<unsigned char[]>& data);

// Reads the list file at `path` as text: CR LF arrives as LF, a Ctrl-Z ends
// the text, and the text is followed by at least two zero bytes. Returns null
// on any failure; prints nothing.
std::unique_ptr<char[]> read_list_text(const char* path);

// Returns the size of the file at `path` without reading it: -1 when it
// cannot be opened, -2 when its status cannot be read. Prints nothing.
int32_t get_plain_size(const char* path);

// Turns raw list bytes into the text `read_list_text` delivers, in place:
// drops the CR of every CR LF pair and stops at a Ctrl-Z. Returns the length
// of the text.
size_t normalize_list_text(char* text, size_t length);
