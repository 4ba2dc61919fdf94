// File primitives that fail on purpose, for the tests of the write path.
#pragma once

// Makes the `nth` call (counting from 1) of the primitive named `primitive`
// from now on fail with errno `error`; an empty name fails nothing.
void fail_primitive(const char* primitive, int nth, int error);

// Makes the `nth` call of the primitive named `primitive` from now on raise
// the signal `sig` first, as if it had come from outside just then.
void signal_in_primitive(const char* primitive, int nth, int sig);

// How often the primitive named `primitive` has been called since the last
// fail_primitive.
int primitive_calls(const char* primitive);
