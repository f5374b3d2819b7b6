// The switches as the real program reads them from its own command line: a lookalike of
// "/quiet" leaves the window on, and "/uninstall" anywhere chooses the uninstall. The uninstall's
// confirmation box shows which mode a run is in without changing anything (it is answered No).
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/support/dialog_driver.h"
#include "tests/support/product_state.h"
#include "tests/support/test_support.h"

namespace {

using namespace testsupport;

std::wstring setup() { return L"\"" + installerUnderTest() + L"\" "; }

// A graphical uninstall: the window, then the confirmation, answered No; the run exits with 0.
void expectGraphicalUninstall(const std::wstring& arguments) {
    SCOPED_TRACE(narrow(arguments));
    RunningProgram run(setup() + arguments);
    ASSERT_TRUE(run.started());
    EXPECT_NE(waitForWindow(L"SwiftSetupClass", run.processId(), 20000), nullptr);
    const auto box = waitForMessageBox(run.processId(), 20000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, L"Lexmora Uninstaller");
    clickButton(box->box, IDNO);
    EXPECT_EQ(run.exitCode(30000), 0u);
}

// A quiet run: no window at any time, and the sequence's result as the exit code.
void expectQuietRun(const std::wstring& arguments, uint32_t exitCode) {
    SCOPED_TRACE(narrow(arguments));
    RunningProgram run(setup() + arguments);
    ASSERT_TRUE(run.started());
    bool windowSeen = false;
    while (!run.exitCode(5).has_value()) {
        windowSeen = windowSeen || waitForWindow(L"SwiftSetupClass", run.processId(), 0) != nullptr ||
                     waitForWindow(L"#32770", run.processId(), 0) != nullptr;
    }
    EXPECT_FALSE(windowSeen);
    EXPECT_EQ(run.exitCode(0), exitCode);
}

class Switches : public ::testing::Test {
protected:
    void SetUp() override { resetProductState(); }
    void TearDown() override { resetProductState(); }
};

TEST_F(Switches, LookalikesOfQuietLeaveTheWindowOn) {
    expectGraphicalUninstall(L"/uninstall");
    expectGraphicalUninstall(L"/QUIET /uninstall");
    expectGraphicalUninstall(L"/uninstall -quiet");
    expectGraphicalUninstall(L"quiet /uninstall /Quiet /quiet:yes");
    expectGraphicalUninstall(L"/uninstall /uninstall");
}

TEST_F(Switches, QuietAnywhereAmongOtherArguments) {
    // Nothing is installed, so a quiet uninstall has nothing to do and succeeds.
    expectQuietRun(L"/quiet /uninstall", 0);
    expectQuietRun(L"/uninstall /quiet", 0);
    expectQuietRun(L"first /uninstall second /quiet third", 0);
    // A quiet install whose earlier version cannot be removed fails, without a window.
    writeValue(kUninstallKey, L"UninstallString", L"\"" + besideModule(L"exit_with_code.exe") + L"\" 1 0");
    expectQuietRun(L"/UNINSTALL /quiet /Uninstall", 0xFFFFFFFF);
}

}  // namespace
