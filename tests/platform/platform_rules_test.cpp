// The platform's portable rules: the form a path is handed to Windows in, and the lock's decision.
#include <gtest/gtest.h>

#include <string>

#include "platform/lock_rules.h"
#include "platform/path_forms.h"

namespace swiftsetup {
namespace {

TEST(ExtendedLengthPath, OnlyPathsThatNeedNoReadingTakeTheLiteralForm) {
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Users\\bo\\Apps\\Lexmora 3", "\\\\?\\C:\\Users\\bo\\Apps\\Lexmora 3"},
        {"\\\\server\\share\\Apps", "\\\\?\\UNC\\server\\share\\Apps"},
        {"\\\\?\\C:\\already", "\\\\?\\C:\\already"},
        // Left to the system to read: relative, drive-relative, dots, empty levels, slashes, roots.
        {"Apps\\x", "Apps\\x"},
        {"C:Apps", "C:Apps"},
        {"C:\\a\\..\\b", "C:\\a\\..\\b"},
        {"C:\\a\\.\\b", "C:\\a\\.\\b"},
        {"C:\\a\\\\b", "C:\\a\\\\b"},
        {"C:\\a\\", "C:\\a\\"},
        {"C:/a/b", "C:/a/b"},
        {"C:\\", "C:\\"},
        {"\\\\.\\pipe\\x", "\\\\.\\pipe\\x"},
        {"", ""},
    };
    for (const auto& [path, expected] : cases) EXPECT_EQ(extendedLengthPath(path), expected) << path;
}

TEST(LinkTag, NameSurrogatesAndUnknownKindsAreLinks) {
    EXPECT_TRUE(isLinkTag(0xA0000003));   // mount point, junction
    EXPECT_TRUE(isLinkTag(0xA000000C));   // symbolic link
    EXPECT_TRUE(isLinkTag(0));            // no kind named (Wine)
    EXPECT_FALSE(isLinkTag(0x9000001A));  // cloud files placeholder
    EXPECT_FALSE(isLinkTag(0x80000013));  // deduplicated file
    EXPECT_FALSE(isLinkTag(0x9000041C));  // projected file system
}

TEST(LockStep, ANameThatCannotBeOpenedIsWaitedForAndNeverRunPast) {
    using S = LockNameState;
    EXPECT_EQ(decideLockStep(S::Usable, S::Usable, 0, 0), LockStep::WaitForHolders);
    EXPECT_EQ(decideLockStep(S::Failed, S::Usable, 0, 0), LockStep::WaitForHolders);
    EXPECT_EQ(decideLockStep(S::Failed, S::Failed, 0, 0), LockStep::GoOnUnguarded);
    EXPECT_EQ(decideLockStep(S::Denied, S::Usable, 0, 0), LockStep::LookAgainLater);
    EXPECT_EQ(decideLockStep(S::Usable, S::Denied, 3600000, 0), LockStep::LookAgainLater) << "no limit: for ever";
    EXPECT_EQ(decideLockStep(S::Denied, S::Failed, 599999, 600000), LockStep::LookAgainLater);
    EXPECT_EQ(decideLockStep(S::Denied, S::Denied, 600000, 600000), LockStep::GiveUp);
}

}  // namespace
}  // namespace swiftsetup
