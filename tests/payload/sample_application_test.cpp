// The default installer's payload, the sample application: unpacked from the installer program
// by the extractor, then its programs started and ended the way later tests will. They are told
// apart by window class; the main program shows "--safe-mode" in its window title.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "payload/payload_extractor.h"
#include "platform/resource_handle.h"
#include "tests/support/test_support.h"

namespace swiftsetup {
namespace {

using testsupport::TemporaryFolder;

struct Started {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
};

// Starts a program and waits up to ten seconds for its top-level window of the given class.
Started start(const std::wstring& commandLine, const wchar_t* windowClass) {
    Started started;
    std::wstring writable = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started.process)) {
        return started;
    }
    for (int attempt = 0; attempt < 200 && started.window == nullptr; ++attempt) {
        for (HWND window = FindWindowW(windowClass, nullptr); window != nullptr;
             window = FindWindowExW(nullptr, window, windowClass, nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == started.process.dwProcessId) started.window = window;
        }
        if (started.window == nullptr) Sleep(50);
    }
    return started;
}

std::wstring titleOf(HWND window) {
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    return title;
}

// Closes the window as a user would and expects the program to end by itself, with exit code 0.
void closeAndWait(Started& started) {
    PostMessageW(started.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(started.process.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(started.process.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(started.process.hThread);
    CloseHandle(started.process.hProcess);
}

TEST(SampleApplication, UnpacksFromTheInstallerAndRunsUntilClosed) {
    const std::wstring installer = testsupport::installerUnderTest();
    HMODULE module = LoadLibraryExW(installer.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr) << GetLastError();
    TemporaryFolder folder;
    {
        PayloadExtractor extractor(loadResource(module, FindResourceW(module, MAKEINTRESOURCEW(256), MAKEINTRESOURCEW(256))));
        ASSERT_TRUE(extractor.extract(testsupport::narrow(folder.path()), nullptr, 0, 0)) << extractor.failure().path;
    }
    FreeLibrary(module);
    const std::wstring program = folder / L"lexmora.exe";
    ASSERT_TRUE(testsupport::fileExists(folder / L"parlavo.exe"));
    ASSERT_TRUE(testsupport::fileExists(folder / L"dictionaries\\da-en.lexd"));
    ASSERT_TRUE(testsupport::fileExists(folder / L"resources\\lang\\da.txt"));

    Started safe = start(L"\"" + program + L"\" --safe-mode", L"LexmoraSampleWindow");
    ASSERT_NE(safe.window, nullptr) << "lexmora.exe --safe-mode shows its window";
    EXPECT_EQ(titleOf(safe.window), L"Lexmora (safe mode)");
    EXPECT_EQ(WaitForSingleObject(safe.process.hProcess, 500), static_cast<DWORD>(WAIT_TIMEOUT)) << "keeps running";

    Started normal = start(L"\"" + program + L"\"", L"LexmoraSampleWindow");
    ASSERT_NE(normal.window, nullptr);
    EXPECT_EQ(titleOf(normal.window), L"Lexmora");
    Started lookalike = start(L"\"" + program + L"\" --Safe-Mode", L"LexmoraSampleWindow");
    ASSERT_NE(lookalike.window, nullptr);
    EXPECT_EQ(titleOf(lookalike.window), L"Lexmora") << "the switch is exact";

    Started chat = start(L"\"" + (folder / L"parlavo.exe") + L"\"", L"ParlavoSampleWindow");
    ASSERT_NE(chat.window, nullptr);
    EXPECT_EQ(titleOf(chat.window), L"Parlavo");

    closeAndWait(safe);
    closeAndWait(normal);
    closeAndWait(lookalike);
    closeAndWait(chat);
}

}  // namespace
}  // namespace swiftsetup
