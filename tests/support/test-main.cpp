// Test main: message boxes never block a test; they are printed to standard
// error in the same form on both targets, so death tests can match them.
#include <stdio.h>

#include <gtest/gtest.h>

#include "process-sys.h"
#include "test-support.h"

static int PrintBox(void *, const char *text, const char *caption, uint32_t style) {
  fprintf(stderr, "[message box] %s: %s\n", caption, text);
  return TestNextBoxAnswer(style);
}

namespace {
class ResetBoxAnswers : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo &) override { TestResetBoxAnswers(); }
};
}  // namespace

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new ResetBoxAnswers);
  SysSetMessageBoxHook(PrintBox);
  return RUN_ALL_TESTS();
}
