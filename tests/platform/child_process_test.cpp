// Starting real child programs (tests/helpers) through the Installer. The program's own calls of
// CreateProcessW and CloseHandle are watched through its import table, so the tests see exactly
// how each child was created and which handles were closed; what a failed start writes to the
// debugger is read by a small debugger loop around a probe program.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "install/installer.h"
#include "platform/text_conversion.h"
#include "tests/support/platform_import_hook.h"
#include "tests/support/test_support.h"
#include "install/interface.h"

namespace swiftsetup {
namespace {

using testsupport::besideModule;
using testsupport::ImportHook;
using testsupport::narrow;
using testsupport::TemporaryFolder;
using testsupport::widen;

class RecordingLogger : public Logger {
public:
    void log(int32_t level, const std::string& text) override { lines.emplace_back(level, text); }
    std::vector<std::pair<int32_t, std::string>> lines;
};

// What one CreateProcessW call of this program asked for and got.
struct CreationCall {
    bool applicationNameGiven = false;
    std::wstring commandLine;
    BOOL inheritHandles = TRUE;
    DWORD flags = 0;
    bool environmentGiven = false;
    bool directoryGiven = false;
    DWORD startupSize = 0;
    DWORD startupFlags = 0;
    BOOL succeeded = FALSE;
    PROCESS_INFORMATION information{};
};

class ProcessWatch {
public:
    ProcessWatch()
        : create_("kernel32.dll", "CreateProcessW", reinterpret_cast<void*>(&createProcess)),
          close_("kernel32.dll", "CloseHandle", reinterpret_cast<void*>(&closeHandle)) {
        active = this;
    }
    ~ProcessWatch() { active = nullptr; }
    bool ready() const { return create_.installed() && close_.installed(); }

    // Positions of the two handles of a created process among the closes since it was created.
    std::pair<int, int> closingOrder(const CreationCall& call) const {
        int thread = -1, process = -1;
        for (size_t i = 0; i < closed.size(); ++i) {
            if (closed[i] == call.information.hThread && thread < 0) thread = static_cast<int>(i);
            if (closed[i] == call.information.hProcess && process < 0) process = static_cast<int>(i);
        }
        return {thread, process};
    }

    std::vector<CreationCall> created;
    std::vector<HANDLE> closed;

private:
    static BOOL WINAPI createProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
                                     LPSECURITY_ATTRIBUTES threadSecurity, BOOL inherit, DWORD flags,
                                     LPVOID environment, LPCWSTR directory, LPSTARTUPINFOW startup,
                                     LPPROCESS_INFORMATION information) {
        CreationCall call;
        call.applicationNameGiven = application != nullptr;
        call.commandLine = commandLine != nullptr ? commandLine : L"";
        call.inheritHandles = inherit;
        call.flags = flags;
        call.environmentGiven = environment != nullptr;
        call.directoryGiven = directory != nullptr;
        call.startupSize = startup->cb;
        call.startupFlags = startup->dwFlags;
        const BOOL result = active->create_.originalAs<decltype(&CreateProcessW)>()(
            application, commandLine, processSecurity, threadSecurity, inherit, flags, environment, directory,
            startup, information);
        const DWORD error = GetLastError();
        call.succeeded = result;
        if (result) call.information = *information;
        active->created.push_back(call);
        active->closed.clear();
        SetLastError(error);
        return result;
    }
    static BOOL WINAPI closeHandle(HANDLE handle) {
        active->closed.push_back(handle);
        return active->close_.originalAs<decltype(&CloseHandle)>()(handle);
    }

    static inline ProcessWatch* active = nullptr;
    ImportHook create_, close_;
};

std::string quoted(const std::string& text) { return "\"" + text + "\""; }
std::wstring quotedWide(const std::wstring& text) { return L"\"" + text + L"\""; }
std::string helper(const wchar_t* name) { return quoted(narrow(besideModule(name))); }

// A program in Windows' own folder that does not exist: CreateProcessW fails with error 2.
const std::string kMissingProgram = "C:\\windows\\lexmora-missing-program.exe";

TEST(RunProcess, WaitsAndHandsBackAnyExitCode) {
    ProcessWatch watch;
    ASSERT_TRUE(watch.ready());
    RecordingLogger logger;
    Installer installer;
    installer.logger = &logger;

    for (const auto& [argument, code] : std::vector<std::pair<std::string, uint32_t>>{
             {"0", 0u}, {"1", 1u}, {"-1", 0xFFFFFFFFu}, {"1603", 1603u}}) {
        const std::string commandLine = helper(L"exit_with_code.exe") + " " + argument;
        uint32_t exitCode = 0x5EED;
        EXPECT_TRUE(installer.runProcess(commandLine, &exitCode)) << commandLine;
        EXPECT_EQ(exitCode, code) << commandLine;

        // Created as the caller's command line asks, and both handles closed, the thread's first.
        ASSERT_FALSE(watch.created.empty());
        const CreationCall& call = watch.created.back();
        EXPECT_TRUE(call.succeeded);
        EXPECT_FALSE(call.applicationNameGiven);
        EXPECT_EQ(call.commandLine, widen(commandLine));
        EXPECT_FALSE(call.inheritHandles);
        EXPECT_EQ(call.flags, static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
        EXPECT_FALSE(call.environmentGiven);
        EXPECT_FALSE(call.directoryGiven);
        EXPECT_EQ(call.startupSize, sizeof(STARTUPINFOW));
        EXPECT_EQ(call.startupFlags, 0u);
        const auto [thread, process] = watch.closingOrder(call);
        EXPECT_EQ(thread, 0);
        EXPECT_EQ(process, 1);
        EXPECT_EQ(watch.closed.size(), 2u);
        // The command line right before the start, the exit code once it has ended.
        ASSERT_GE(logger.lines.size(), 2u);
        EXPECT_EQ(logger.lines[logger.lines.size() - 2], std::make_pair(kLogCommandLine, commandLine));
        EXPECT_EQ(logger.lines.back().first, kLogEvent);
        EXPECT_EQ(logger.lines.back().second.rfind("exited with " + std::to_string(code) + " (0x", 0), 0u);
    }
    EXPECT_EQ(logger.lines.size(), 8u);
}

TEST(RunProcess, WaitsWithoutAnExitCodeVariable) {
    TemporaryFolder temporary;
    const std::wstring done = temporary / L"done.txt";
    Installer installer;  // and no logger attached
    // The child writes its file only after 300 ms: finding it right away means runProcess waited.
    EXPECT_TRUE(installer.runProcess(
        helper(L"run_until_told.exe") + " --timeout 300 --done-file " + quoted(narrow(done)), nullptr));
    EXPECT_EQ(testsupport::readFile(done), "timeout");
}

TEST(RunProcess, MissingProgramFailsAndLeavesTheExitCodeAlone) {
    ProcessWatch watch;
    ASSERT_TRUE(watch.ready());
    RecordingLogger logger;
    Installer installer;
    installer.logger = &logger;

    uint32_t exitCode = 0x5EED;
    EXPECT_FALSE(installer.runProcess(quoted(kMissingProgram) + " /quiet", &exitCode));
    EXPECT_EQ(exitCode, 0x5EEDu);
    EXPECT_FALSE(installer.runProcess(kMissingProgram, nullptr));
    EXPECT_FALSE(installer.startProcess(kMissingProgram + " --safe-mode"));
    ASSERT_EQ(watch.created.size(), 3u);
    for (const CreationCall& call : watch.created) EXPECT_FALSE(call.succeeded);
    EXPECT_TRUE(watch.closed.empty()) << "nothing was opened, nothing is closed";

    // A failed start is logged like any other, and why it failed after it.
    const std::vector<std::string> expected = {quoted(kMissingProgram) + " /quiet", kMissingProgram,
                                               kMissingProgram + " --safe-mode"};
    ASSERT_EQ(logger.lines.size(), 2 * expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(logger.lines[2 * i], std::make_pair(kLogCommandLine, expected[i]));
        EXPECT_EQ(logger.lines[2 * i + 1].second.rfind("could not start: system error ", 0), 0u);
    }
}

// Runs a program under a debugger of its own and gathers everything it writes to the debugger.
struct DebuggedRun {
    bool ended = false;
    DWORD exitCode = 0;
    std::vector<std::string> debugOutput;
    std::string trouble;  // which debugger call failed, and the system's error, when one did
};

DebuggedRun runUnderDebugger(const std::wstring& commandLine) {
    DebuggedRun run;
    std::wstring writable = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    // Wine's debugger calls fail now and then on a loaded machine (the suite runs in parallel);
    // such a failure is the harness's, not the probe's, so it is tried again before it counts.
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        started = CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                                 nullptr, &startup, &process) != FALSE;
        if (!started) {
            run.trouble += "CreateProcessW failed with error " + std::to_string(GetLastError()) + "; ";
            Sleep(100);
        }
    }
    if (!started) return run;
    const ULONGLONG deadline = GetTickCount64() + 60000;
    for (;;) {
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, 1000)) {
            const DWORD error = GetLastError();
            if (GetTickCount64() < deadline) {
                if (error != ERROR_SEM_TIMEOUT) {
                    run.trouble += "WaitForDebugEvent failed with error " + std::to_string(error) + "; ";
                }
                continue;
            }
            run.trouble += "no debug event for a minute";
            TerminateProcess(process.hProcess, 1);
            break;
        }
        DWORD continuation = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case OUTPUT_DEBUG_STRING_EVENT: {
            const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
            std::string bytes(info.nDebugStringLength, '\0');  // counts the terminating NUL
            SIZE_T read = 0;
            ReadProcessMemory(process.hProcess, info.lpDebugStringData, bytes.data(), bytes.size(), &read);
            bytes.resize(read);
            if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
            run.debugOutput.push_back(info.fUnicode ? "(wide) " + bytes : bytes);
            break;
        }
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile != nullptr) CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile != nullptr) CloseHandle(event.u.LoadDll.hFile);
            break;
        case EXCEPTION_DEBUG_EVENT:
            // The loader's first breakpoint is the debugger's to take; everything else is the
            // program's own business.
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
                continuation = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            run.ended = true;
            run.exitCode = event.u.ExitProcess.dwExitCode;
            break;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continuation);
        if (run.ended) break;
    }
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

// Runs under an English and a Danish user locale: the system's text arrives as UTF-8 bytes.
TEST(ChildProcessDebugOutput, FailedStartWritesTheSystemTextThenALineBreak) {
    const std::string notFound = systemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(notFound.empty());
    for (const wchar_t* mode : {L"run", L"start"}) {
        const DebuggedRun run = runUnderDebugger(quotedWide(besideModule(L"platform_probe.exe")) + L" " + mode + L" " +
                                                 quotedWide(widen(kMissingProgram) + L" /quiet"));
        ASSERT_TRUE(run.ended) << mode << ": " << run.trouble;
        EXPECT_EQ(run.exitCode, 10u) << mode << ": failed, exit code variable untouched";
        EXPECT_EQ(run.debugOutput, (std::vector<std::string>{notFound, "\r\n"})) << mode;
    }
    // A probe whose start succeeds writes nothing to the debugger.
    const DebuggedRun quiet = runUnderDebugger(quotedWide(besideModule(L"platform_probe.exe")) + L" run " +
                                               quotedWide(L"\\\"" + besideModule(L"exit_with_code.exe") + L"\\\" 0"));
    ASSERT_TRUE(quiet.ended) << quiet.trouble;
    EXPECT_EQ(quiet.exitCode, 12u);
    EXPECT_TRUE(quiet.debugOutput.empty());
}

TEST(RunProcess, CommandLineEndsAtItsFirstNul) {
    TemporaryFolder temporary;
    const std::wstring report = temporary / L"report.txt";
    RecordingLogger logger;
    Installer installer;
    installer.logger = &logger;

    const std::string used = helper(L"report_command_line.exe") + " " + quoted(narrow(report));
    const std::string commandLine = used + std::string("\0 --never-seen", 14);
    uint32_t exitCode = 0x5EED;
    ASSERT_TRUE(installer.runProcess(commandLine, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(testsupport::readFile(report), used);
    // The logger is given the command line as the caller wrote it, then the exit code.
    ASSERT_EQ(logger.lines.size(), 2u);
    EXPECT_EQ(logger.lines[0], std::make_pair(0, commandLine));
}

TEST(RunProcess, DanishLettersArriveIntact) {
    TemporaryFolder temporary;
    const std::wstring folder = temporary / L"Ordb\u00F8ger \u00E6\u00F8\u00E5 \u00C6\u00D8\u00C5";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring program = folder + L"\\rapport \u00E5.exe";
    ASSERT_TRUE(CopyFileW(besideModule(L"report_command_line.exe").c_str(), program.c_str(), FALSE));
    const std::wstring report = folder + L"\\k\u00E6re.txt";
    Installer installer;

    // The report file named on the command line ...
    const std::wstring named = L"\"" + program + L"\" \"" + report + L"\" --navn=S\u00F8ren";
    uint32_t exitCode = 0x5EED;
    ASSERT_TRUE(installer.runProcess(narrow(named), &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(testsupport::readFile(report), narrow(named));

    // ... and through the environment, which the child inherits.
    const std::wstring inherited = folder + L"\\arv \u00D8.txt";
    ASSERT_TRUE(SetEnvironmentVariableW(L"LEXMORA_REPORT_FILE", inherited.c_str()));
    const std::wstring plain = L"\"" + program + L"\" \u00C6bler";
    const bool started = installer.runProcess(narrow(plain), &exitCode).started();
    SetEnvironmentVariableW(L"LEXMORA_REPORT_FILE", nullptr);
    ASSERT_TRUE(started);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(testsupport::readFile(inherited), narrow(plain));
}

TEST(StartProcess, ReturnsAtOnceWhileTheChildRuns) {
    ProcessWatch watch;
    ASSERT_TRUE(watch.ready());
    TemporaryFolder temporary;
    const std::wstring ready = temporary / L"ready.txt";
    const std::wstring eventName = L"Local\\lexmora-test-stop-" + std::to_wstring(GetCurrentProcessId());
    // Whatever happens below, the child is told to stop when the test ends (and it stops by itself
    // after a minute anyway).
    struct StopSignal {
        HANDLE event;
        ~StopSignal() {
            SetEvent(event);
            CloseHandle(event);
        }
    } stop{CreateEventW(nullptr, TRUE, FALSE, eventName.c_str())};
    ASSERT_NE(stop.event, nullptr);

    RecordingLogger logger;
    Installer installer;
    installer.logger = &logger;
    const std::string commandLine = helper(L"run_until_told.exe") + " --stop-event " + narrow(eventName) +
                                    " --ready-file " + quoted(narrow(ready)) + " --timeout 60000 --exit-code 5";
    ASSERT_TRUE(installer.startProcess(commandLine));
    // The child cannot end before it is told to: startProcess has returned while it runs.
    ASSERT_EQ(watch.created.size(), 1u);
    const CreationCall call = watch.created[0];
    const auto [thread, process] = watch.closingOrder(call);
    EXPECT_EQ(thread, 0) << "thread handle closed";
    EXPECT_EQ(process, 1) << "then the process handle";
    EXPECT_EQ(logger.lines, (std::vector<std::pair<int32_t, std::string>>{{0, commandLine}}));

    // The child is up, and it is the one that was started.
    std::optional<std::string> pid;
    for (int i = 0; i < 3000 && !(pid = testsupport::readFile(ready)); ++i) Sleep(10);
    ASSERT_TRUE(pid.has_value()) << "the child never reported that it runs";
    EXPECT_EQ(*pid, std::to_string(call.information.dwProcessId));
    HANDLE child = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                               call.information.dwProcessId);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(WaitForSingleObject(child, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "still running";

    SetEvent(stop.event);
    EXPECT_EQ(WaitForSingleObject(child, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(child, &code));
    EXPECT_EQ(code, 5u) << "it ended because it was told to";
    CloseHandle(child);
}

}  // namespace
}  // namespace swiftsetup
