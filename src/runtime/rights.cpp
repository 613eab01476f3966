#include "runtime/rights.h"

namespace {

struct LoginOffer {
  bool (*hasRights)() = nullptr;
  void (*offer)() = nullptr;
  bool offered = false;
};

LoginOffer g_login;

}  // namespace

void SetLoginOffer(bool (*hasRights)(), void (*offer)()) {
  g_login = LoginOffer();
  if (hasRights == nullptr || offer == nullptr) return;
  g_login.hasRights = hasRights;
  g_login.offer = offer;
}

bool OfferLoginAfterFailure() {
  if (g_login.offer == nullptr || g_login.offered || g_login.hasRights()) return false;
  g_login.offered = true;
  g_login.offer();
  return true;
}
