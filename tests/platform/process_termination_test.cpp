// terminateProcessesByPath against real processes: copies of a helper program that runs until it
// is told to stop (or ends by itself with exit code 258 after two minutes), in a test folder.
#include "platform/process_termination.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace swiftsetup {
namespace {

using testsupport::narrow;
using testsupport::TemporaryFolder;

class Process {
public:
    explicit Process(const std::wstring& program, DWORD flags = 0) {
        std::wstring commandLine = L"\"" + program + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                           nullptr, &startup, &info)) {
            handle_ = info.hProcess;
            thread_ = info.hThread;
        }
    }
    ~Process() {
        if (handle_ == nullptr) return;
        if (running()) {
            TerminateProcess(handle_, 1);
            WaitForSingleObject(handle_, 10000);
        }
        CloseHandle(thread_);
        CloseHandle(handle_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return handle_ != nullptr; }
    bool running() const { return WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }
    DWORD exitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(handle_, &code);
        return code;
    }
    // Until the program has really started: only then are its modules listed.
    void waitUntilIdle() const {
        WaitForInputIdle(handle_, 2000);
        Sleep(300);
    }

private:
    HANDLE handle_ = nullptr;
    HANDLE thread_ = nullptr;
};

class TerminateProcesses : public testing::Test {
protected:
    void SetUp() override {
        program = folder / L"Lexmora.exe";
        otherProgram = folder / L"parlavo.exe";
        const std::wstring helper = testsupport::besideModule(L"run_until_told.exe");
        ASSERT_TRUE(CopyFileW(helper.c_str(), program.c_str(), TRUE));
        ASSERT_TRUE(CopyFileW(helper.c_str(), otherProgram.c_str(), TRUE));
    }

    TemporaryFolder folder;
    std::wstring program;
    std::wstring otherProgram;
};

TEST_F(TerminateProcesses, EndsEveryInstanceWithExitCodeZeroAndNothingElse) {
    Process first(program), second(program), other(otherProgram);
    ASSERT_TRUE(first.started() && second.started() && other.started());
    first.waitUntilIdle();
    second.waitUntilIdle();
    other.waitUntilIdle();

    terminateProcessesByPath(narrow(program));

    EXPECT_FALSE(first.running());
    EXPECT_FALSE(second.running());
    EXPECT_EQ(first.exitCode(), 0u);
    EXPECT_EQ(second.exitCode(), 0u);
    EXPECT_TRUE(other.running()) << "another program in the same folder is left alone";
}

TEST_F(TerminateProcesses, OnlyTheExactPathCounts) {
    Process instance(program);
    ASSERT_TRUE(instance.started());
    instance.waitUntilIdle();

    std::string lower = narrow(program);
    lower.replace(lower.size() - 11, 11, "lexmora.exe");
    terminateProcessesByPath(lower);
    EXPECT_TRUE(instance.running()) << "letter case differs";

    terminateProcessesByPath(narrow(folder.path()));
    terminateProcessesByPath(narrow(folder / L"Lexmora"));
    terminateProcessesByPath(narrow(program) + " ");
    terminateProcessesByPath("");
    EXPECT_TRUE(instance.running()) << "a folder, a prefix, a near miss or nothing ends nothing";

    terminateProcessesByPath(narrow(program));
    EXPECT_FALSE(instance.running());
}

TEST_F(TerminateProcesses, AProcessWhoseModulesCannotBeListedIsJudgedByItsProgramFile) {
    // A process created suspended has not loaded its modules yet, which is how a 64-bit
    // process looks to a 32-bit uninstaller.
    Process suspended(program, CREATE_SUSPENDED);
    ASSERT_TRUE(suspended.started());
    terminateProcessesByPath(narrow(program));
    EXPECT_FALSE(suspended.running());
    EXPECT_EQ(suspended.exitCode(), 0u);
}

TEST_F(TerminateProcesses, NeverEndsTheCallingProcess) {
    Process other(otherProgram);
    ASSERT_TRUE(other.started());
    terminateProcessesByPath(narrow(testsupport::besideModule(L"remove.process_termination.exe")));
    EXPECT_TRUE(other.running());
    SUCCEED() << "still here";
}

TEST_F(TerminateProcesses, NoRunningInstanceIsNoChange) {
    Process other(otherProgram);
    ASSERT_TRUE(other.started());
    other.waitUntilIdle();
    terminateProcessesByPath(narrow(program));
    EXPECT_TRUE(other.running());
}

}  // namespace
}  // namespace swiftsetup
