#pragma once

#include <gtest/gtest.h>

#include <string>

namespace tarnwick::test {

/// Whether Actual equals the golden file Name under tests/data byte for byte; the failure
/// says where the first difference is (byte, line, column and both lines). With the
/// environment variable TARNWICK_UPDATE_GOLDEN=1 it writes Actual as the new golden file.
testing::AssertionResult MatchesGolden(const std::string& Name, const std::string& Actual);

} // namespace tarnwick::test
