// Exit statuses of the process.
#pragma once

// The operation did its job.
constexpr int EXIT_STATUS_OK = 0;
// Nothing was done because of the input: the usage text, a tone list that
// cannot be read, or any failure an operation reported and returned from.
constexpr int EXIT_STATUS_NOT_DONE = 1;
// The output bank cannot be created or written, a source cannot be read for
// copying, or a console stream cannot be written. A shell sees 255.
constexpr int EXIT_STATUS_FATAL = -1;
