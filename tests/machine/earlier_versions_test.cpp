// Removal of earlier versions, with real children: Windows Installer's own msiexec.exe on a real
// package and on codes it does not know, and uninstall commands made of the test helpers. The
// tests use an upgrade family and an uninstall entry of their own, never the product's.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "install/installer.h"
#include "text/guid_packing.h"
#include "tests/support/product_state.h"
#include "tests/support/test_support.h"
#include "install/interface.h"

namespace swiftsetup {
namespace {

using testsupport::besideModule;
using testsupport::narrow;
using testsupport::widen;

// {7E57C0DE-00FF-4A00-8000-0000000000F0}, the family of the test package.
const Guid kFamily = Guid::fromFields(0x7E57C0DE, 0x00FF, 0x4A00, {0x80, 0x00, 0, 0, 0, 0, 0, 0xF0});
const std::wstring kFamilyKey = L"Software\\Microsoft\\Installer\\UpgradeCodes\\" + widen(packGuid(kFamily));
const std::string kPackageProductCode = "7e57c0de-0001-4a00-8000-0000000000a1";
constexpr wchar_t kPackageMarkerKey[] = L"Software\\LexmoraTests\\Msi\\LexmoraTestFamily";
constexpr char kEntryName[] = "LexmoraTestEntry";
const std::wstring kEntryKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LexmoraTestEntry";

class RecordingLogger : public Logger {
public:
    void log(int32_t level, const std::string& text) override {
        if (level == kLogCommandLine) lines.push_back(text);
    }
    std::vector<std::string> lines;  // the command lines
};

std::string msiexecCommand(const std::string& productCode) {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    return "\"" + narrow(std::wstring(system, length)) + "\\msiexec.exe\" /quiet /qn /x {" + productCode + "}";
}

bool packageInstalled() { return testsupport::keyExists(kPackageMarkerKey); }

bool installPackage() {
    const auto code = testsupport::runAndWait(L"msiexec.exe /i \"" + besideModule(L"test-family-product.msi") + L"\" /qn");
    return code && *code == 0 && packageInstalled();
}

class PreviousVersions : public ::testing::Test {
protected:
    void SetUp() override { clean(); }
    void TearDown() override { clean(); }
    static void clean() {
        if (packageInstalled()) testsupport::runAndWait(widen(msiexecCommand(kPackageProductCode)));
        testsupport::deleteKeyTree(kFamilyKey);
        testsupport::deleteKeyTree(kEntryKey);
        testsupport::deleteKeyTree(L"Software\\LexmoraTests\\Msi");
    }
    bool removeFamily() {
        installer.logger = &logger;
        return !installer.removeMsiProducts(kFamily);
    }
    bool runEntry(const std::string& extraArguments) {
        installer.logger = &logger;
        return !installer.runPreviousUninstaller(kEntryName, extraArguments);
    }

    Installer installer;
    RecordingLogger logger;
};

TEST_F(PreviousVersions, NothingRegisteredMeansNothingToRunAndSuccess) {
    EXPECT_TRUE(removeFamily());
    EXPECT_TRUE(runEntry("/quiet"));
    EXPECT_TRUE(logger.lines.empty());
}

TEST_F(PreviousVersions, RemovesARealWindowsInstallerProductOfTheFamily) {
    ASSERT_TRUE(installPackage()) << "msiexec /i of the test package";
    ASSERT_EQ(testsupport::valueNamesInOrder(kFamilyKey).size(), 1u) << "the package registered itself";

    EXPECT_TRUE(removeFamily());
    ASSERT_EQ(logger.lines.size(), 1u);
    // The switches stand before /x, the product code is in lower case in braces; the tool is the
    // one in the system folder as this process sees it (a 32-bit process's view on 64-bit Windows).
    EXPECT_EQ(logger.lines[0], msiexecCommand(kPackageProductCode));
    const std::string& command = logger.lines[0];
    EXPECT_TRUE(testsupport::fileExists(widen(command.substr(1, command.find('"', 1) - 1))));
    EXPECT_FALSE(packageInstalled()) << "the product is gone";
}

TEST_F(PreviousVersions, PackedNamesOfEitherCaseAreRemovedAndOthersSkipped) {
    // Codes that Windows Installer does not know: msiexec.exe runs and fails for each.
    testsupport::writeValue(kFamilyKey, L"1032547698BADCFE1032547698BADCFE", L"");
    testsupport::writeValue(kFamilyKey, L"2032547698badcfe1032547698badcfe", L"");
    EXPECT_FALSE(removeFamily());
    std::vector<std::string> expected = {msiexecCommand("67452301-ab89-efcd-0123-456789abcdef"),
                                         msiexecCommand("67452302-ab89-efcd-0123-456789abcdef")};
    std::sort(logger.lines.begin(), logger.lines.end());
    EXPECT_EQ(logger.lines, expected);
}

TEST_F(PreviousVersions, NamesThatAreNotPackedGuidsAreSkippedSilently) {
    testsupport::writeValue(kFamilyKey, L"1032547698BADCFE1032547698BADCF", L"");    // 31
    testsupport::writeValue(kFamilyKey, L"1032547698BADCFE1032547698BADCFE0", L"");  // 33
    testsupport::writeValue(kFamilyKey, L"1032547698BADCFE1032547698BADCFG", L"");   // G
    testsupport::writeValue(kFamilyKey, L"", L"");                                  // default value
    EXPECT_TRUE(removeFamily());
    EXPECT_TRUE(logger.lines.empty());
}

TEST_F(PreviousVersions, OneFailedRemovalFailsTheFamilyButTheOthersStillRun) {
    ASSERT_TRUE(installPackage());
    testsupport::writeValue(kFamilyKey, L"0000000000000000000000000000000F", L"");  // unknown
    EXPECT_FALSE(removeFamily());
    EXPECT_EQ(logger.lines.size(), 2u);
    EXPECT_FALSE(packageInstalled()) << "the known product was removed all the same";
}

TEST_F(PreviousVersions, RunsTheStoredUninstallCommandWithTheExtraArguments) {
    testsupport::TemporaryFolder folder;
    const std::wstring report = folder / L"command line.txt";
    const std::wstring stored = L"\"" + besideModule(L"report_command_line.exe") + L"\" \"" + report + L"\" /uninstall";
    testsupport::writeValue(kEntryKey, L"UninstallString", stored);

    EXPECT_TRUE(runEntry("/quiet"));
    ASSERT_EQ(logger.lines.size(), 1u);
    EXPECT_EQ(logger.lines[0], narrow(stored) + " /quiet");
    EXPECT_EQ(testsupport::readFile(report).value_or("(none)"), narrow(stored) + " /quiet");

    // Without extra arguments the stored command runs exactly as stored, without a blank.
    logger.lines.clear();
    EXPECT_TRUE(runEntry(""));
    EXPECT_EQ(testsupport::readFile(report).value_or("(none)"), narrow(stored));
}

TEST_F(PreviousVersions, JudgesTheEarlierUninstallerByItsExitCode) {
    // exit_with_code <code> <wait>; the appended "/quiet" comes third and is ignored.
    const std::wstring helper = L"\"" + besideModule(L"exit_with_code.exe") + L"\" ";
    testsupport::writeValue(kEntryKey, L"UninstallString", helper + L"0 0");
    EXPECT_TRUE(runEntry("/quiet"));
    testsupport::writeValue(kEntryKey, L"UninstallString", helper + L"1 0");
    EXPECT_FALSE(runEntry("/quiet"));
    testsupport::writeValue(kEntryKey, L"UninstallString", helper + L"-1 0");
    EXPECT_FALSE(runEntry("/quiet"));
    // One that is there but is no program cannot be started: a failed removal. One that is not
    // there at all (its folder deleted by hand) leaves nothing to remove.
    testsupport::TemporaryFolder folder;
    ASSERT_TRUE(testsupport::writeFile(folder / L"uninstall.exe", "not a program"));
    testsupport::writeValue(kEntryKey, L"UninstallString", L"\"" + (folder / L"uninstall.exe") + L"\" /uninstall");
    EXPECT_FALSE(runEntry("/quiet")) << "a command that cannot start is a failed removal";
    testsupport::writeValue(kEntryKey, L"UninstallString", L"\"C:\\no such folder\\uninstall.exe\" /uninstall");
    EXPECT_TRUE(runEntry("/quiet"));
    testsupport::writeValue(kEntryKey, L"UninstallString", L"\"" + (folder / L"missing.exe") + L"\" /uninstall");
    EXPECT_TRUE(runEntry("/quiet"));
}

TEST_F(PreviousVersions, AnUninstallCommandThatIsNotPlainTextIsNotRun) {
    const std::wstring helper = L"\"" + besideModule(L"exit_with_code.exe") + L"\" 1";
    testsupport::writeValue(kEntryKey, L"UninstallString", helper, REG_EXPAND_SZ);
    EXPECT_TRUE(runEntry("/quiet"));
    testsupport::writeValue(kEntryKey, L"UninstallString", L"");
    EXPECT_TRUE(runEntry("/quiet"));
    testsupport::writeValue(kEntryKey, L"SomethingElse", helper);
    EXPECT_TRUE(runEntry("/quiet"));
    EXPECT_TRUE(logger.lines.empty());
}

}  // namespace
}  // namespace swiftsetup
