#ifndef FUZZCHECK_H
#define FUZZCHECK_H

#include <cstdlib>

// A failed check aborts, which libFuzzer reports with the input that made it fail.
inline void check(bool condition)
{
    if (!condition)
        abort();
}

#endif // FUZZCHECK_H
