// The login retry: one more attempt after a failure, and only after the
// login was offered to a process without the rights.
#include <gtest/gtest.h>

#include "runtime/rights.h"

namespace {

bool g_admin = false;
int g_rightsAsked = 0;
int g_offers = 0;
bool CountRightsAsked() {
  g_rightsAsked++;
  return g_admin;
}
void CountOffer() { g_offers++; }

TEST(TryWithLogin, RetriesOnceAfterTheLoginOnlyWithoutRights) {
  struct Case {
    bool installed;  // a login offer is in place
    bool admin;
    bool firstOk;
    bool secondOk;
    int attempts;
    int rightsAsked;
    int offers;
    bool result;
  };
  const Case cases[] = {
      {true, true, true, true, 1, 0, 0, true},      {true, true, false, true, 1, 1, 0, false},
      {true, true, false, false, 1, 1, 0, false},   {true, false, true, false, 1, 0, 0, true},
      {true, false, false, true, 2, 1, 1, true},    {true, false, false, false, 2, 1, 1, false},
      {false, false, false, true, 1, 0, 0, false},  {false, false, true, true, 1, 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.installed ? "" : "no login, ") << (c.admin ? "admin" : "user")
                                    << ", first " << c.firstOk << ", second " << c.secondOk);
    if (c.installed) {
      SetLoginOffer(CountRightsAsked, CountOffer);
    } else {
      SetLoginOffer(nullptr, nullptr);
    }
    g_admin = c.admin;
    g_rightsAsked = 0;
    g_offers = 0;
    int attempts = 0;
    bool result = TryWithLogin([&] { return ++attempts == 1 ? c.firstOk : c.secondOk; });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(attempts, c.attempts);
    EXPECT_EQ(g_rightsAsked, c.rightsAsked);
    EXPECT_EQ(g_offers, c.offers);
  }
  // Half an offer is none.
  SetLoginOffer(CountRightsAsked, nullptr);
  int attempts = 0;
  EXPECT_FALSE(TryWithLogin([&] { return ++attempts == 2; }));
  EXPECT_EQ(attempts, 1);
  SetLoginOffer(nullptr, nullptr);
}

}  // namespace
