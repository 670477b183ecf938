#pragma once
// What a test that needs the private directories does when they are not
// running: under scripts/test (which exports ORVANE_REQUIRE_DIRECTORIES=1) it
// fails, so that a full run can never pass without them; in a bare ctest run
// it is skipped, with a line on standard error that says so. Header-only.

#include <QByteArray>
#include <cstdio>
#include <gtest/gtest.h>

namespace orvane::test
{

/// True when the run must have the private directories (ORVANE_REQUIRE_DIRECTORIES=1).
inline bool directoriesRequired()
{
    return qgetenv("ORVANE_REQUIRE_DIRECTORIES") == "1";
}

} // namespace orvane::test

/// Fails (under scripts/test) or loudly skips the running test because
/// `what` (a text naming the missing directory and how to start it) is missing.
#define ORVANE_NO_DIRECTORY(what)                                                                        \
    do {                                                                                                 \
        const std::string orvaneWhat_ = (what);                                                          \
        if (::orvane::test::directoriesRequired())                                                       \
            GTEST_FAIL() << orvaneWhat_ << " (ORVANE_REQUIRE_DIRECTORIES=1: this run needs it)";         \
        std::fprintf(stderr, "\n*** SKIPPED, NOT TESTED: %s ***\n\n", orvaneWhat_.c_str());              \
        GTEST_SKIP() << orvaneWhat_;                                                                     \
    } while (0)
