#pragma once

#include <stdexcept>

// Failures of trx4ctl's own making, each with its exit status. Failures of
// files arrive as FileException (exit status 4), those of the unit or of the
// conversation with it as any other VerloException.

// The command line asked for something impossible: exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A firmware burn went unconfirmed: whether the unit runs the new image is
// unknown. Exit status 5.
class OutcomeUnknown : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
