// Which accounts a run refuses: the system's and services' own, never a user's.
#include "install/run_account.h"

#include <gtest/gtest.h>

namespace swiftsetup {
namespace {

TEST(RunAccount, RefusesTheSystemAndServiceAccountsOnly) {
    for (const char* service : {"S-1-5-18", "S-1-5-19", "S-1-5-20", "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
                                "S-1-5-82-3006700770-424185619-1745488364-794895919-4004696415"}) {
        EXPECT_FALSE(isUserAccount(service)) << service;
    }
    for (const char* user : {"S-1-5-21-3623811015-3361044348-30300820-1013", "S-1-5-21-1-2-3-500", "S-1-5-180",
                             "S-1-5-18-1", "S-1-5-8", "S-1-12-1-1-2-3-4", ""}) {
        EXPECT_TRUE(isUserAccount(user)) << user;
    }
}

}  // namespace
}  // namespace swiftsetup
