// Ten thousand presses and releases through the real button windows of a running panel, over
// the real serial calls, to a pseudo-terminal: every command must reach the chassis once, in
// order, and nothing else. The wrapper keeps reading the far end all the while.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/win/pty_line.h"
#include "tests/win/real_scheme.h"

namespace panel::testing {
namespace {

constexpr int kCycles = 10000;

using Stress = RealSchemeTest;

TEST_F(Stress, TenThousandPressesAndReleasesArriveExactlyOnceInOrder) {
  std::vector<int> ports = pty::ports();
  if (ports.empty()) GTEST_SKIP() << "needs a port from tests/win/with_pty.py";
  pty::PtyLine line(ports[0]);
  choose(ports[0]);
  ASSERT_TRUE(scheme->ComPort->isOpen());

  // Cycling over the five buttons, so that a command lost, doubled or swapped with its
  // neighbour shows, and a stop that went missing too.
  std::string expected;
  for (int i = 0; i < kCycles; ++i) {
    int b = i % 5;
    pressAndRelease(b);
    expected += pressCommand(b);
    expected += "5\n";
  }
  ASSERT_EQ(expected.size(), 40000u);

  std::string got = line.receive(expected.size());
  EXPECT_EQ(got.size(), expected.size());
  std::size_t diverge = 0;
  while (diverge < got.size() && diverge < expected.size() && got[diverge] == expected[diverge])
    ++diverge;
  EXPECT_EQ(diverge, expected.size())
      << "first difference at byte " << diverge << " (cycle " << diverge / 4 << "): got \""
      << got.substr(diverge, 8) << "\", expected \"" << expected.substr(diverge, 8) << "\"";
  EXPECT_EQ(echoText(), L"5\n");
  EXPECT_TRUE(scheme->ComPort->isOpen());
}

}  // namespace
}  // namespace panel::testing
