#include "dispatch.h"

#include "bank/bank_view.h"
#include "console.h"
#include "exit_status.h"
#include "link/bank_writer.h"

#include <cstdio>
#include <cstring>

namespace {

const char VERSION_TEXT[] = "2.10a";

struct Operation {
    const char* keyword;
    int (*entry)(const char* path);
};

// Keywords are compared in this order, exactly and case-sensitively.
const Operation OPERATIONS[] = {
    {"view", view_bank},
    {"link", link_bank},
};

} // namespace

void print_usage(int status) {
    err_printf(stderr, "\nQORVELIX PPC-Utility for QZ Ver.%s\n", VERSION_TEXT);
    err_printf(stderr, " usage : QORVELIX.exe operation filename.ext\n");
    err_printf(stderr, "     operation : link\n");
    err_printf(stderr, "                 view\n");
    end_process(status);
}

// Checks the arguments, prints the banners around one operation and ignores
// the operation's result: failures it returns from are reported already.
int run_command_line(int argc, char** argv) {
    if (argc < 3) {
        print_usage(EXIT_STATUS_OK);
    }
    out_printf("- [QORVELIX] Start QORVELIX. =================================\n");
    const Operation* chosen = nullptr;
    for (const Operation& op : OPERATIONS) {
        if (std::strcmp(argv[1], op.keyword) == 0) {
            chosen = &op;
            break;
        }
    }
    if (chosen == nullptr) {
        print_usage(EXIT_STATUS_OK);
    }
    chosen->entry(argv[2]);
    out_printf("- [QORVELIX] finish QORVELIX. ================================\n");
    return EXIT_STATUS_OK;
}
