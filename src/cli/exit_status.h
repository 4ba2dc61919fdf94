// Exit statuses of the process.
#pragma once

// The run reached the finish banner, and the usage text.
constexpr int EXIT_STATUS_OK = 0;
// The tone list of a link run cannot be read.
constexpr int EXIT_STATUS_NO_LIST = 1;
// The output bank cannot be created or written, a source cannot be read for
// copying, or a console stream cannot be written. A shell sees 255.
constexpr int EXIT_STATUS_FATAL = -1;
