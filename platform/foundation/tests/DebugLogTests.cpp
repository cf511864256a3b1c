#include <gtest/gtest.h>

#include <string>

#include "foundation/DebugLog.h"
#include "testsupport/ScopedDebugLog.h"

namespace foundation {
namespace {

std::string printed(std::string_view line) {
  ::testing::internal::CaptureStdout();
  debugLog(line);
  return ::testing::internal::GetCapturedStdout();
}

TEST(DebugLog, QuietUnlessTheVariableAsksForIt) {
  {
    testsupport::ScopedDebugLog on;
    EXPECT_EQ(printed("prompt Fix the spelling"), "prompt Fix the spelling\n");
    ::setenv(kDebugLogVariable, "0", 1);
    EXPECT_EQ(printed("prompt Fix the spelling"), "");
    ::setenv(kDebugLogVariable, "", 1);
    EXPECT_EQ(printed("prompt Fix the spelling"), "");
  }
  ::unsetenv(kDebugLogVariable);
  EXPECT_FALSE(debugLogEnabled());
  EXPECT_EQ(printed("prompt Fix the spelling"), "");
}

}  // namespace
}  // namespace foundation
