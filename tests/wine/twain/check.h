// Tiny checking helpers for the TWAIN test programs: every failed check is
// printed with its line, and the program's exit code is the number of failures.
#pragma once

#include <stdio.h>

inline int g_nFailures = 0;

#define CHECK(cond)                                                          \
    do {                                                                     \
        if (!(cond)) {                                                       \
            printf("%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);  \
            fflush(stdout);                                                  \
            ++g_nFailures;                                                   \
        }                                                                    \
    } while (0)

#define CHECK_EQ(a, b)                                                              \
    do {                                                                            \
        long long va_ = (long long)(a), vb_ = (long long)(b);                       \
        if (va_ != vb_) {                                                           \
            printf("%s:%d: check failed: %s == %s (%lld != %lld)\n", __FILE__,      \
                   __LINE__, #a, #b, va_, vb_);                                     \
            fflush(stdout);                                                         \
            ++g_nFailures;                                                          \
        }                                                                           \
    } while (0)
