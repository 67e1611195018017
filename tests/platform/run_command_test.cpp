#include <gtest/gtest.h>

#include <type_traits>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "support/files.h"

namespace {

template <typename A, typename B, typename = void>
struct Comparable : std::false_type {};
template <typename A, typename B>
struct Comparable<A, B, std::void_t<decltype(std::declval<A>() == std::declval<B>())>>
    : std::true_type {};

// A host error number, a run status and an open status are codes of three domains: none
// compares with another or with a bare number, and a result takes only its own domain's error.
TEST(ResultCodes, DomainsNeitherCompareNorMix) {
  using platform::OpenStatus;
  using platform::RunStatus;
  using platform::SystemError;
  static_assert(Comparable<SystemError, SystemError>::value);
  static_assert(!Comparable<SystemError, RunStatus>::value);
  static_assert(!Comparable<SystemError, int>::value);
  static_assert(!Comparable<RunStatus, OpenStatus>::value);
  static_assert(!Comparable<RunStatus, int>::value);
  static_assert(std::is_constructible_v<Expected<uint32_t, RunStatus>, Error<RunStatus>>);
  static_assert(!std::is_constructible_v<Expected<uint32_t, RunStatus>, Error<SystemError>>);
  static_assert(!std::is_constructible_v<platform::SystemResult<void>, Error<OpenStatus>>);
  static_assert(!std::is_constructible_v<Expected<void, OpenStatus>, Error<int>>);
}

// A child that outlasts the period is waited for to its own end, whatever the tick does:
// its output and exit code arrive whole, and the ticks count up from one second.
TEST(RunCommandLine, TicksWhileTheChildRunsAndNeverStopsIt) {
  test::TempDir dir;
  std::string capture = dir.File("out.txt");
  std::vector<unsigned> ticks;
  Expected<uint32_t, platform::RunStatus> code =
      platform::RunCommandLine("runner-child.exe out:first sleep:1500 out:second exit:7", capture,
                               [&](unsigned s) { ticks.push_back(s); });
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 7u);
  EXPECT_EQ(test::ReadText(capture), "first\nsecond\n");
  ASSERT_FALSE(ticks.empty());
  EXPECT_GE(ticks.front(), 1u);
  for (size_t i = 1; i < ticks.size(); ++i) EXPECT_GT(ticks[i], ticks[i - 1]);
}

}  // namespace
