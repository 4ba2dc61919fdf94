// How an operation ends, for the command line to turn into its last lines
// and the exit status. Every room that supplies an operation returns one of
// these, so they live in the room all of them build on.
#pragma once

enum Outcome {
    // The operation did its job.
    OUTCOME_DONE = 0,
    // It reported a failure and returned; the run ends as usual.
    OUTCOME_FAILED = -1,
    // The input it was given cannot be read at all (a tone list that is not
    // there): the run ends at once, with no finish banner.
    OUTCOME_NO_INPUT = -2,
    // A fault while writing its output, or while reading a source for it:
    // the run ends at once, with no finish banner.
    OUTCOME_FATAL = -3,
};
