#include "command_line.h"

#include "audio/preview.h"
#include "bank/bank_split.h"
#include "bank/bank_view.h"
#include "exit_status.h"
#include "link/link.h"
#include "os/console.h"
#include "os/outcome.h"

#include <cstring>

namespace {

// The version the usage text shows: the project's, with the release letter.
const char VERSION_TEXT[] = QORVELIX_VERSION "a";

struct Operation {
    const char* keyword;
    int (*entry)(const char* path);
};

// "split", with previews of its tones decoded as the chip decodes them.
int split_with_previews(const char* path) {
    return split_bank(path, make_tone_preview);
}

// Keywords are compared in this order, exactly and case-sensitively.
const Operation OPERATIONS[] = {
    {"view", view_bank},
    {"link", link_bank},
    {"split", split_with_previews},
};

// Prints the usage text on standard error; returns the status it ends with:
// nothing was done.
int print_usage() {
    err_printf("\nQORVELIX PPC-Utility for QZ Ver.%s\n", VERSION_TEXT);
    err_printf(" usage : QORVELIX.exe operation filename.ext\n");
    err_printf("     operation : link\n");
    err_printf("                 view\n");
    err_printf("                 split\n");
    return EXIT_STATUS_NOT_DONE;
}

// The exit status of a run whose operation ended with `outcome`, after the
// finish banner where the run reaches it: 0 only when the operation did its
// job. A failure it reported and returned from reaches the banner too.
int finish_run(int outcome) {
    if (outcome == OUTCOME_NO_INPUT) {
        return EXIT_STATUS_NOT_DONE;
    }
    if (outcome == OUTCOME_FATAL) {
        return EXIT_STATUS_FATAL;
    }
    out_printf("- [QORVELIX] finish QORVELIX. ================================\n");
    return outcome == OUTCOME_DONE ? EXIT_STATUS_OK : EXIT_STATUS_NOT_DONE;
}

} // namespace

// Checks the arguments and runs the operation the first one names, between
// the start and finish banners.
int run_command_line(int argc, char** argv) {
    if (argc < 3) {
        return print_usage();
    }
    out_printf("- [QORVELIX] Start QORVELIX. =================================\n");
    for (const Operation& op : OPERATIONS) {
        if (std::strcmp(argv[1], op.keyword) == 0) {
            return finish_run(op.entry(argv[2]));
        }
    }
    return print_usage();
}
