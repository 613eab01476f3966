// The login retry. An operation that may fail for want of rights is tried;
// when it fails and the process lacks administrator rights, the login is
// offered and the operation is tried exactly once more, whatever the login
// gave. The login is offered once per run at most: after it, a failure is
// final, so a folder nobody may write asks once and not once per file. The installer puts its rights test and login in at start-up; a
// program that installs none (the builder) keeps every first answer.
#pragma once

// Both or neither: SetLoginOffer(nullptr, nullptr) takes the login out again.
// Installing an offer makes it available again for one offer.
void SetLoginOffer(bool (*hasRights)(), void (*offer)());
// After a failed attempt: offers the login when one is installed and the
// process lacks the rights; true when the attempt is then to be made again.
bool OfferLoginAfterFailure();

// attempt() answers true on success.
template <class F>
bool TryWithLogin(F attempt) {
  if (attempt()) return true;
  if (!OfferLoginAfterFailure()) return false;
  return attempt();
}
