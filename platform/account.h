#pragma once
// Who the run is: the account's name and security identifier, whether its token is elevated,
// and the Windows version, for the log and for the account rule (app/run_account.h).

#include <string>

namespace swiftsetup {

// The account's security identifier as text ("S-1-5-21-..."); empty when it cannot be read.
[[nodiscard]] std::wstring accountSid();

struct AccountFacts {
    std::string name;  // as GetUserNameW gives it; empty when unknown
    std::string sid;   // as accountSid, in UTF-8
    bool elevated = false;
};
AccountFacts accountFacts();

// "6.1.7601 Service Pack 1": the version Windows reports to a program that declares itself made
// for Vista to 10.
std::string windowsVersion();

}  // namespace swiftsetup
