#pragma once

#include <gtest/gtest.h>

namespace tarnwick::test {

/// Whether the tests run under CI (CI=true in the environment, as .ci/run sets it). There a
/// tool that scripts/install-deps installs, or a file the checkout is given, is never missing
/// by chance, so a test that needs it fails instead of skipping: a skip would pass unseen.
bool UnderCi();

} // namespace tarnwick::test

/// Skips the running test for want of What (text to stream), or under CI fails it; returns
/// from the test either way. CTest counts a test whose output shows a skip as skipped whatever
/// its exit code, so under CI the skip must not be printed at all.
#define TARNWICK_SKIP_OR_FAIL_UNDER_CI(What)                                                       \
  if (::tarnwick::test::UnderCi()) {                                                               \
    GTEST_FAIL() << What << " (CI=true: scripts/install-deps and the checkout provide it)";        \
  } else                                                                                           \
    GTEST_SKIP() << What
