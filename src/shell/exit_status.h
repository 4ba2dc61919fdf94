// Exit statuses of the process, and the one place that ends it early.
#pragma once

// main returns this after the finish banner, and the usage text ends with it.
constexpr int EXIT_STATUS_OK = 0;
// The tone list of a link run cannot be read.
constexpr int EXIT_STATUS_NO_LIST = 1;
// The output bank cannot be created or written, or a source cannot be read
// for copying. A shell sees 255.
constexpr int EXIT_STATUS_FATAL = -1;

// Ends the process with `status` after writing out what the console streams
// still hold. Every early end of a run goes through here, so a harness that
// drives the code in-process can link its own definition instead.
[[noreturn]] void end_process(int status);
