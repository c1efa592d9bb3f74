#include "FuzzDevice.h"

#include <cstdio>
#include <cstdlib>

void fuzzFailure(const char* what) {
    std::fprintf(stderr, "fuzz property violated: %s\n", what);
    std::abort();
}
