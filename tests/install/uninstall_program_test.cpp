// The uninstaller as Windows runs it: the real program with "/uninstall", quiet or behind its
// window, against an installation planted in the prefix's user.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "install/installer.h"
#include "platform/text_conversion.h"
#include "tests/machine/removal_state.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/test_support.h"
#include "text/catalogue.h"
#include "platform/user_language.h"
#include "ui/dummy_logger.h"
#include "ui/graphical_interface.h"

namespace swiftsetup {
namespace {

using namespace testsupport;
using namespace removaltest;

// The language the run's locale must give (--language=da|de|en); English when not given.
std::string expectedLanguage = "en";

Language language() {
    if (expectedLanguage == "da") return Language::Danish;
    if (expectedLanguage == "de") return Language::German;
    return Language::English;
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class UninstallProgram : public testing::Test {
protected:
    void SetUp() override {
        resetRemovalState();
        ASSERT_TRUE(fileExists(setupProgram)) << "the installer is built beside the tests";
        ASSERT_TRUE(plantInstallation(setupProgram));
        files = filesBelow(paths.installFolder);
        entries = entriesInTree(paths.installFolder);
    }
    void TearDown() override { resetRemovalState(); }

    // Everything gone but the uninstaller that ran from the folder, if it did.
    void expectRemoved(const std::vector<std::unique_ptr<RunningProgram>>& programs, bool ranFromFolder) {
        for (const auto& program : programs) EXPECT_EQ(program->exitCode(), 0u) << "ended by the uninstaller";
        if (ranFromFolder) {
            EXPECT_EQ(namesIn(paths.installFolder), std::vector<std::wstring>{L"uninstall.exe"});
        } else {
            EXPECT_FALSE(exists(paths.installFolder));
        }
        EXPECT_FALSE(exists(paths.shortcutFolder));
        EXPECT_TRUE(runValuesStartingProgram(paths.program).empty());
        EXPECT_TRUE(readString(kRunKey, kForeignRunValue).has_value());
        EXPECT_FALSE(keyExists(kUninstallKey));
    }

    const ProductPaths paths = productPaths();
    const std::wstring setupProgram = installerUnderTest();
    std::vector<std::wstring> files;  // as planted
    size_t entries = 0;
};

// What Windows starts, with " /quiet" added as a later installer adds it.
std::wstring registeredCommand() {
    return readString(kUninstallKey, L"UninstallString").value_or(L"");
}

TEST_F(UninstallProgram, QuietFromTheInstallationFolderLeavesOnlyItself) {
    const auto programs = startPlantedPrograms();
    const std::wstring command = registeredCommand();
    ASSERT_EQ(command, L"\"" + paths.uninstaller + L"\" /uninstall");

    EXPECT_EQ(runAndWait(command + L" /quiet", 60000), 0u);

    expectRemoved(programs, true);
}

TEST_F(UninstallProgram, QuietFromElsewhereRemovesTheWholeFolder) {
    const auto programs = startPlantedPrograms();
    EXPECT_EQ(runAndWait(L"\"" + setupProgram + L"\" /quiet /uninstall", 60000), 0u);
    expectRemoved(programs, false);
}

// A 32-bit program cannot list the modules of a 64-bit one: the shipped uninstaller must end a
// 64-bit build of the chat program as surely as the 32-bit application.
TEST_F(UninstallProgram, QuietEndsProgramsOfBothArchitectures) {
    const std::wstring chat64 = x64Program(L"parlavo.exe");
    if (chat64.empty()) GTEST_SKIP() << "the uninstaller under test is 64-bit itself";
    ASSERT_TRUE(CopyFileW(chat64.c_str(), paths.chatProgram.c_str(), FALSE));
    const auto programs = startPlantedPrograms();
    BOOL emulated = FALSE;
    ASSERT_TRUE(IsWow64Process(programs[0]->handle(), &emulated) && emulated) << "lexmora.exe is 32-bit";
    ASSERT_TRUE(IsWow64Process(programs[1]->handle(), &emulated) && !emulated) << "parlavo.exe is 64-bit";

    EXPECT_EQ(runAndWait(L"\"" + setupProgram + L"\" /quiet /uninstall", 60000), 0u);
    expectRemoved(programs, false);
}

TEST_F(UninstallProgram, QuietKeepsAStartMenuFolderWithForeignFiles) {
    ASSERT_TRUE(writeFile(paths.shortcutFolder + L"\\Notes.txt", "mine"));
    EXPECT_EQ(runAndWait(L"\"" + setupProgram + L"\" /uninstall /quiet", 60000), 0u);
    EXPECT_FALSE(exists(paths.programShortcut));
    EXPECT_FALSE(exists(paths.chatShortcut));
    EXPECT_TRUE(fileExists(paths.shortcutFolder + L"\\Notes.txt"));
    EXPECT_FALSE(keyExists(kUninstallKey));
}

constexpr uint32_t kFailed = 0xFFFFFFFF;

// The entry's location written in every way that names our folder, and in ways that name
// folders that are not ours. Whatever it says, our installation (where the install puts it) goes
// completely, the programs ended first, and a folder that is not ours keeps every file.
TEST_F(UninstallProgram, QuietRemovesOurInstallationWhateverTheEntrySays) {
    wchar_t shortForm[MAX_PATH] = L"";
    ASSERT_GT(GetShortPathNameW(paths.installFolder.c_str(), shortForm, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(shortForm), paths.installFolder) << "the folder has a short name";
    std::wstring shouted = paths.installFolder;
    for (wchar_t& c : shouted) {
        if (c == L'\\') c = L'/';
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    const std::wstring unc = L"\\\\localhost\\" + paths.installFolder.substr(0, 1) + L"$" + paths.installFolder.substr(2);

    // Folders that hold look-alikes: another product's own uninstaller, a copy of our program
    // among a user's files, and our real uninstaller on a network drive.
    TemporaryFolder scratch;
    auto other = [&] {
        const std::wstring folder = paths.localAppData + L"\\Other Product";
        CreateDirectoryW(folder.c_str(), nullptr);
        CopyFileW(besideModule(L"exit_with_code.exe").c_str(), (folder + L"\\Uninstall.exe").c_str(), FALSE);
        writeFile(folder + L"\\settings.db", "the other product's data");
        return folder;
    };
    auto notes = [&] {
        const std::wstring folder = paths.profile + L"\\Desktop\\Notes";
        CreateDirectoryW(folder.c_str(), nullptr);
        CopyFileW(paths.program.c_str(), (folder + L"\\lexmora.exe").c_str(), FALSE);
        writeFile(folder + L"\\letter.txt", "mine");
        return folder;
    };
    auto share = [&] {
        const std::wstring folder = L"N:\\Lexmora 3";
        CreateDirectoryW(folder.c_str(), nullptr);
        CopyFileW(setupProgram.c_str(), (folder + L"\\uninstall.exe").c_str(), FALSE);
        writeFile(folder + L"\\budget.txt", "mine");
        return folder;
    };
    ASSERT_EQ(GetDriveTypeW(L"N:\\"), static_cast<UINT>(DRIVE_REMOTE)) << "the harness's network drive";

    struct Case {
        const char* what;
        std::function<std::wstring()> location;
        DWORD type = REG_SZ;
        bool foreign = false;  // the location's folder is not ours and must stay whole
    };
    const Case cases[] = {
        {"trailing separator", [&] { return paths.installFolder + L"\\"; }},
        {"dot levels", [&] { return paths.installFolder + L"\\data\\..\\.\\"; }},
        {"long-path prefix", [&] { return L"\\\\?\\" + paths.installFolder; }},
        {"slashes, upper case", [&] { return shouted; }},
        {"8.3 short name", [&] { return std::wstring(shortForm); }},
        {"REG_EXPAND_SZ", [] { return std::wstring(L"%LOCALAPPDATA%\\Apps\\Lexmora 3"); }, REG_EXPAND_SZ},
        {"trailing dot", [&] { return paths.installFolder + L"."; }},
        {"UNC", [&] { return unc; }},
        {"UNC long-path prefix", [&] { return L"\\\\?\\UNC" + unc.substr(1); }},
        {"names nothing", [&] { return scratch / L"gone"; }},
        {"another product's folder", other, REG_SZ, true},
        {"a copy of our program among user files", notes, REG_SZ, true},
        {"our uninstaller on a network drive", share, REG_SZ, true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        resetRemovalState();
        ASSERT_TRUE(plantInstallation(setupProgram));
        const std::wstring location = test.location();
        writeValue(kUninstallKey, L"InstallLocation", location, test.type);
        const auto before = contentsBelow(location);
        const auto programs = startPlantedPrograms();

        EXPECT_EQ(runAndWait(L"\"" + setupProgram + L"\" /uninstall /quiet", 60000), 0u);

        expectRemoved(programs, false);
        if (test.foreign) {
            EXPECT_FALSE(before.empty());
            EXPECT_EQ(contentsBelow(location), before) << "not a file of it is lost";
            deleteTree(location);
        }
    }
}

// A folder elsewhere that holds this installer's uninstaller is an installation of ours, and goes.
TEST_F(UninstallProgram, QuietRemovesAnInstallationElsewhereThatHoldsOurUninstaller) {
    const std::wstring elsewhere = paths.localAppData + L"\\Moved\\Lexmora 3";
    CreateDirectoryW((paths.localAppData + L"\\Moved").c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(paths.uninstaller.c_str(), (elsewhere + L"\\uninstall.exe").c_str(), FALSE));
    ASSERT_TRUE(writeFile(elsewhere + L"\\readme.txt", "of that installation"));
    writeValue(kUninstallKey, L"InstallLocation", elsewhere);

    EXPECT_EQ(runAndWait(L"\"" + setupProgram + L"\" /uninstall /quiet", 60000), 0u);

    EXPECT_FALSE(exists(elsewhere));
    EXPECT_EQ(filesBelow(paths.installFolder), files) << "the entry did not name this one";
    RemoveDirectoryW((paths.localAppData + L"\\Moved").c_str());
}

// The box asks in the user's language, above the window titled in it, with Yes and No.
struct Confirmation {
    HWND box = nullptr;
    HWND window = nullptr;
};

Confirmation expectConfirmation(const RunningProgram& run) {
    const std::optional<MessageBoxInfo> box = waitForMessageBox(run.processId(), 30000);
    if (!box) {
        ADD_FAILURE() << "no confirmation box";
        return {};
    }
    EXPECT_EQ(narrow(box->caption), lookup(language(), "#uninstaller_confirm_title"));
    EXPECT_EQ(narrow(box->text), lookup(language(), "#uninstaller_confirm_message"));
    EXPECT_NE(std::find(box->buttons.begin(), box->buttons.end(), IDYES), box->buttons.end());
    EXPECT_NE(std::find(box->buttons.begin(), box->buttons.end(), IDNO), box->buttons.end());
    HWND window = waitForWindow(L"SwiftSetupClass", run.processId(), 5000);
    EXPECT_NE(window, nullptr) << "the main window is shown";
    if (window != nullptr) {
        EXPECT_EQ(narrow(windowText(window)), lookup(language(), "#window_title"));
        EXPECT_EQ(box->owner, window) << "the box belongs to the window";
    }
    return {box->box, window};
}

// True once the window has gone, within the time.
bool waitUntilClosed(HWND window, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (IsWindow(window)) {
        if (GetTickCount64() > deadline) return false;
        Sleep(50);
    }
    return true;
}

TEST_F(UninstallProgram, WindowedNoLeavesEverythingAndCloses) {
    const auto programs = startPlantedPrograms();
    const ProductSnapshot before = snapshotProduct();
    RunningProgram run(registeredCommand());
    const Confirmation confirmation = expectConfirmation(run);
    ASSERT_NE(confirmation.box, nullptr);
    ASSERT_NE(confirmation.window, nullptr);

    clickButton(confirmation.box, IDNO);

    EXPECT_TRUE(waitUntilClosed(confirmation.window, 30000)) << "the window closes by itself";
    EXPECT_EQ(run.exitCode(30000), 0u);
    EXPECT_EQ(differences(before, snapshotProduct()), "");
}

TEST_F(UninstallProgram, WindowedYesRemovesEverything) {
    const auto programs = startPlantedPrograms();
    RunningProgram run(registeredCommand());
    const Confirmation confirmation = expectConfirmation(run);
    ASSERT_NE(confirmation.box, nullptr);

    clickButton(confirmation.box, IDYES);

    EXPECT_TRUE(waitUntilClosed(confirmation.window, 60000)) << "the window closes when done";
    EXPECT_EQ(run.exitCode(60000), 0u);
    expectRemoved(programs, true);
}

// A held file is a question now, in the user's language; Cancel leaves the installation listed.
TEST_F(UninstallProgram, WindowedReportsWhatStaysInABox) {
    const std::wstring held = paths.installFolder + L"\\readme.txt";
    HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    RunningProgram run(registeredCommand());
    const Confirmation confirmation = expectConfirmation(run);
    ASSERT_NE(confirmation.box, nullptr);
    clickButton(confirmation.box, IDYES);
    ASSERT_TRUE(waitUntilClosed(confirmation.box, 10000));

    const std::optional<MessageBoxInfo> box = waitForMessageBox(run.processId(), 60000);
    ASSERT_TRUE(box.has_value()) << "the question is shown";
    EXPECT_EQ(narrow(box->caption), lookup(language(), "#uninstaller_remove_error_title"));
    EXPECT_EQ(narrow(box->text), lookup(language(), "#installer_files_in_use_message") +
                                     systemErrorTextAt(ERROR_SHARING_VIOLATION, narrow(held)));
    clickButton(box->box, IDCANCEL);
    EXPECT_TRUE(waitUntilClosed(confirmation.window, 30000));
    EXPECT_EQ(run.exitCode(30000), 0u) << "a windowed run exits with 0";
    CloseHandle(holder);
    EXPECT_TRUE(keyExists(kUninstallKey)) << "still listed";
}

// The window's own progress bar, watched from inside: the uninstall runs on the window's worker
// thread in this process while a helper thread plays the user.
struct ProgressLog {
    std::vector<std::pair<UINT, LPARAM>> messages;  // PBM_SETRANGE32 (total) and PBM_SETPOS (position)
    LRESULT positionBefore = -1;
    LRESULT positionAfter = -1;
    WNDPROC original = nullptr;
    HWND bar = nullptr;
};
ProgressLog progressLog;

LRESULT CALLBACK recordProgress(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PBM_SETRANGE32) progressLog.messages.emplace_back(message, lParam);
    if (message == PBM_SETPOS) progressLog.messages.emplace_back(message, static_cast<LPARAM>(wParam));
    if (message == WM_DESTROY) progressLog.positionAfter = CallWindowProcW(progressLog.original, window, PBM_GETPOS, 0, 0);
    return CallWindowProcW(progressLog.original, window, message, wParam, lParam);
}

DWORD WINAPI answerYes(LPVOID) {
    const std::optional<MessageBoxInfo> box = waitForMessageBox(GetCurrentProcessId(), 30000);
    if (!box || box->owner == nullptr) return 1;
    progressLog.bar = findChild(box->owner, PROGRESS_CLASSW);
    if (progressLog.bar == nullptr) return 1;
    progressLog.positionBefore = SendMessageW(progressLog.bar, PBM_GETPOS, 0, 0);
    progressLog.original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(progressLog.bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&recordProgress)));
    clickButton(box->box, IDYES);
    return 0;
}

TEST_F(UninstallProgram, WindowedProgressRunsFromZeroToOneHundred) {
    const auto programs = startPlantedPrograms();
    HANDLE user = CreateThread(nullptr, 0, &answerYes, nullptr, 0, nullptr);
    ASSERT_NE(user, nullptr);
    {
        Installer installer;
        GraphicalInterface window(translate("#window_title"), installer);
        DummyLogger logger;
        EXPECT_TRUE(window.uninstall(logger));
    }
    WaitForSingleObject(user, 30000);
    DWORD userResult = 1;
    GetExitCodeThread(user, &userResult);
    CloseHandle(user);
    ASSERT_EQ(userResult, 0u) << "the box and the progress bar were found";

    EXPECT_EQ(progressLog.positionBefore, 0);
    ASSERT_FALSE(progressLog.messages.empty());
    LPARAM previous = 0;
    size_t positions = 0;
    for (const auto& [message, value] : progressLog.messages) {
        if (message == PBM_SETRANGE32) {
            EXPECT_EQ(value, 100);
        } else {
            EXPECT_GE(value, previous);
            previous = value;
            ++positions;
        }
    }
    EXPECT_EQ(positions, entries) << "one step per file and folder";
    EXPECT_EQ(previous, 100);
    EXPECT_EQ(progressLog.positionAfter, 100) << "the bar stands at its end when the window closes";
    expectRemoved(programs, false);
}

}  // namespace
}  // namespace swiftsetup

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--language=", 11) == 0) swiftsetup::expectedLanguage = argv[i] + 11;
    }
    return RUN_ALL_TESTS();
}
