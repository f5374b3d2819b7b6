#pragma once
// Whether the account a run has is a user's. Everything is installed for the user who runs the
// program, in that user's profile and registry; a service account (a deployment tool set to run
// in the system's context) has a profile no user ever sees, so an install there helps nobody.
// Portable: the security identifier is read by the caller.

#include <string_view>

namespace swiftsetup {

// True unless sid ("S-1-5-...") is the local system, local service or network service account,
// or a service's or an application pool's own account. An identifier that could not be read
// (empty) is no reason to refuse.
bool isUserAccount(std::string_view sid);

}  // namespace swiftsetup
