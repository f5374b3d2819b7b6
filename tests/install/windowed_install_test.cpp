// The real installer with its window, under a virtual display: the title and status in the
// user's language, the error box of a failed install, and a window that closes by itself.
// Each run is told the language its locale must give (--expect=da|de|en).
#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/dialog_driver.h"
#include "tests/support/product_state.h"
#include "tests/support/test_support.h"

namespace {

using namespace testsupport;

std::string language = "en";

struct Texts {
    const wchar_t* title;
    const wchar_t* firstStatus;
    const wchar_t* uninstalling;
    const wchar_t* installFailed;
    const wchar_t* damaged;
};
Texts texts() {
    if (language == "da") {
        return {L"Lexmora - Installationsprogram", L"Installerer filer...", L"Afinstallerer tidligere versioner...",
                L"Installationen mislykkedes.\r\n\r\n", L"Installationsprogrammet er beskadiget. Hent det igen."};
    }
    if (language == "de") {
        return {L"Lexmora - Installationsprogramm", L"Dateien werden installiert...", L"Deinstalliert vorherige Versionen...",
                L"Installationsfehler.\r\n\r\n",
                L"Das Installationsprogramm ist besch\u00e4digt. Laden Sie es erneut herunter."};
    }
    return {L"Lexmora Installer", L"Installing files...", L"Uninstalling previous versions...", L"Installation failed.\r\n\r\n",
            L"The installer is damaged. Download it again."};
}

std::wstring systemText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                            FORMAT_MESSAGE_FROM_SYSTEM,
                                        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text(buffer, length);
    LocalFree(buffer);
    return text;
}

class WindowedInstall : public ::testing::Test {
protected:
    void SetUp() override { resetProductState(); }
    void TearDown() override { resetProductState(); }
    const ProductPaths paths = productPaths();
};

TEST_F(WindowedInstall, RunsBehindAWindowInTheUsersLanguageThatClosesByItself) {
    // An earlier installation whose uninstaller takes a moment: long enough to look at the window.
    writeValue(kUninstallKey, L"UninstallString", L"\"" + besideModule(L"exit_with_code.exe") + L"\" 0 2500");

    RunningProgram installer(L"\"" + installerUnderTest() + L"\"");
    HWND window = waitForWindow(L"SwiftSetupClass", installer.processId(), 20000);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(windowText(window), texts().title);
    HWND status = FindWindowExW(window, nullptr, L"Static", nullptr);
    ASSERT_NE(status, nullptr);
    // The new version is unpacked in a moment; then the earlier uninstaller holds the status.
    std::wstring statusText;
    for (int i = 0; i < 500 && statusText != texts().uninstalling; ++i, Sleep(10)) statusText = windowText(status);
    EXPECT_EQ(statusText, texts().uninstalling);

    EXPECT_EQ(installer.exitCode(60000), 0u);
    EXPECT_FALSE(IsWindow(window)) << "the window closed by itself";
    EXPECT_TRUE(fileExists(paths.program));
    EXPECT_TRUE(fileExists(paths.uninstaller));
    EXPECT_EQ(readValues(kUninstallKey).size(), 11u);
    EXPECT_TRUE(fileExists(paths.programShortcut));
    EXPECT_TRUE(fileExists(paths.chatShortcut));
    EXPECT_NE(waitForWindow(L"LexmoraSampleWindow", 0, 20000), nullptr) << "the application was started";
}

TEST_F(WindowedInstall, ABrokenPayloadIsReportedInABoxThenTheWindowCloses) {
    RunningProgram installer(L"\"" + besideModule(L"test-installer-broken.exe") + L"\"");
    HWND window = waitForWindow(L"SwiftSetupClass", installer.processId(), 20000);
    ASSERT_NE(window, nullptr);
    const auto box = waitForMessageBox(installer.processId(), 30000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->owner, window);
    EXPECT_EQ(box->caption, texts().title);
    const wchar_t* decompression = language == "da"   ? L"Udpakning mislykkedes."
                                   : language == "de" ? L"Fehler bei der Dekomprimierung"
                                                      : L"Decompression failed.";
    EXPECT_EQ(box->text, std::wstring(texts().installFailed) + decompression);
    EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
    // (Icon handles are the box's process's own under Wine; the window test of the front end
    // checks the warning icon in-process.)

    clickButton(box->box, IDOK);
    EXPECT_EQ(installer.exitCode(30000), 0u) << "a windowed run exits with 0 even after a failure";
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(fileExists(paths.uninstaller));
    EXPECT_FALSE(keyExists(kUninstallKey));
}

TEST_F(WindowedInstall, ADamagedDownloadIsReportedBeforeAnythingChanges) {
    TemporaryFolder folder;
    const std::wstring damaged = damagedCopy(installerUnderTest(), folder, [](std::string& payload) {
        payload[chunkOffset(payload, 0, 0) + 100] ^= 0x10;
    });
    RunningProgram installer(L"\"" + damaged + L"\"");
    const auto box = waitForMessageBox(installer.processId(), 30000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, texts().title);
    EXPECT_EQ(box->text, std::wstring(texts().installFailed) + texts().damaged);
    clickButton(box->box, IDOK);
    EXPECT_EQ(installer.exitCode(30000), 0u);
    EXPECT_FALSE(folderExists(paths.installFolder)) << "nothing was unpacked";
}

TEST_F(WindowedInstall, WithoutALocalApplicationDataFolderTheBoxSaysSo) {
    constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    const std::wstring old = readValues(kShellFolders)[L"Local AppData"].asString();
    writeValue(kShellFolders, L"Local AppData", L"C:\\no such folder\\Local", REG_EXPAND_SZ);

    RunningProgram installer(L"\"" + installerUnderTest() + L"\"");
    const auto box = waitForMessageBox(installer.processId(), 30000);
    writeValue(kShellFolders, L"Local AppData", old, REG_EXPAND_SZ);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, texts().title);
    EXPECT_EQ(box->text, std::wstring(texts().installFailed) + systemText(ERROR_PATH_NOT_FOUND));
    clickButton(box->box, IDOK);
    EXPECT_EQ(installer.exitCode(30000), 0u);
    EXPECT_FALSE(keyExists(kUninstallKey));
    EXPECT_FALSE(folderExists(L"C:\\Apps"));
}

// A drive that another program fills up while the files are unpacked: the box gives the system's
// reason and, on a line of its own, the file it happened on, in the staging folder that then goes.
TEST_F(WindowedInstall, AFullDriveIsNamedWithTheFileItStoppedAt) {
    OnTheSmallDrive drive;
    const ProductPaths small = productPaths();
    RunningProgram installer(L"\"" + besideModule(L"test-installer-bulk.exe") + L"\"");
    std::unique_ptr<PausedProcess> paused = pauseWhileUnpacking(installer.processId(), small, 60000);
    ASSERT_TRUE(paused);
    ASSERT_EQ(runAndWait(OnTheSmallDrive::fillCommand(0)), 0u);
    paused->resume();

    const auto box = waitForMessageBox(installer.processId(), 60000);
    ASSERT_TRUE(box.has_value());
    const std::wstring reason = std::wstring(texts().installFailed) + systemText(ERROR_DISK_FULL);
    ASSERT_EQ(box->text.substr(0, reason.size()), reason);
    const std::wstring file = box->text.substr(reason.size());
    EXPECT_EQ(file.rfind(small.installFolder + L".new-", 0), 0u) << narrow(file);
    clickButton(box->box, IDOK);
    EXPECT_EQ(installer.exitCode(30000), 0u);
    EXPECT_FALSE(folderExists(small.installFolder));
    EXPECT_EQ(workFoldersBeside(small), std::vector<std::wstring>{});
}

// One installer at a time: a second one waits for the first, its window showing its first status
// meanwhile, then installs.
TEST_F(WindowedInstall, ASecondInstallerWaitsForTheFirstShowingItsStatus) {
    // The first one's earlier "uninstaller" holds it up for a while, with the lock taken.
    const std::wstring slow = besideModule(L"exit_with_code.exe");
    writeValue(kUninstallKey, L"UninstallString", L"\"" + slow + L"\" 0 3000");
    RunningProgram first(L"\"" + installerUnderTest() + L"\" /quiet");
    for (int i = 0; i < 500 && processesOf(slow).empty(); ++i) Sleep(10);
    ASSERT_FALSE(processesOf(slow).empty()) << "the first installer holds the lock";

    RunningProgram second(L"\"" + installerUnderTest() + L"\"");
    HWND window = waitForWindow(L"SwiftSetupClass", second.processId(), 20000);
    ASSERT_NE(window, nullptr);
    HWND status = FindWindowExW(window, nullptr, L"Static", nullptr);
    std::wstring statusText;
    for (int i = 0; i < 500 && statusText.empty(); ++i, Sleep(10)) statusText = windowText(status);
    EXPECT_EQ(statusText, texts().firstStatus);
    EXPECT_FALSE(first.exitCode(0).has_value()) << "the first one is still at work";

    EXPECT_EQ(first.exitCode(60000), 0u);
    EXPECT_EQ(second.exitCode(60000), 0u);
    EXPECT_EQ(readValues(kUninstallKey).size(), 11u);
    EXPECT_TRUE(fileExists(paths.uninstaller));
}

// A file another program holds, in an upgrade and in an uninstall: the windowed run asks, naming
// the file, whether to try again. Retry once the holder has let go completes the run; Cancel ends
// it with everything as it was, without a further box. The texts are tested byte for byte natively.
TEST_F(WindowedInstall, AHeldFileIsAQuestionOfRetryOrCancel) {
    if (language != "en") GTEST_SKIP() << "one language is enough here";
    for (const bool uninstall : {false, true}) {
        for (const int answer : {IDRETRY, IDCANCEL}) {
            SCOPED_TRACE(std::string(uninstall ? "uninstall, " : "upgrade, ") + (answer == IDRETRY ? "Retry" : "Cancel"));
            resetProductState();
            ASSERT_EQ(runAndWait(L"\"" + installerUnderTest() + L"\" /quiet", 120000), 0u);
            endProcessesInFolder(paths.installFolder);
            const std::wstring notes = paths.installFolder + L"\\notes.txt";
            ASSERT_TRUE(writeFile(notes, "mine"));
            const ProductSnapshot before = snapshotProduct();
            HANDLE held = CreateFileW(notes.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(held, INVALID_HANDLE_VALUE);

            TemporaryFolder logs;
            RunningProgram run((uninstall ? readString(kUninstallKey, L"UninstallString").value_or(L"")
                                          : L"\"" + installerUnderTest() + L"\"") + L" \"/log=" + (logs / L"run.log") + L"\"");
            if (uninstall) {
                const auto confirm = waitForMessageBox(run.processId(), 30000);
                ASSERT_TRUE(confirm.has_value());
                clickButton(confirm->box, IDYES);
                for (int i = 0; i < 1000 && IsWindow(confirm->box); ++i) Sleep(10);
            }
            const auto question = waitForMessageBox(run.processId(), 60000);
            ASSERT_TRUE(question.has_value());
            EXPECT_EQ(question->buttons, (std::vector<int>{IDRETRY, IDCANCEL}));
            EXPECT_EQ(question->text.rfind(L"Another program is using a file or folder of Lexmora", 0), 0u) << narrow(question->text);
            EXPECT_NE(question->text.find(notes), std::wstring::npos) << "names the file";
            if (answer == IDRETRY) CloseHandle(held);
            clickButton(question->box, answer);
            EXPECT_EQ(run.exitCode(120000), 0u) << readFile(logs / L"run.log").value_or("");
            if (answer == IDRETRY) {
                EXPECT_EQ(keyExists(kUninstallKey), !uninstall);
                EXPECT_FALSE(fileExists(notes)) << "the whole tree went";
            } else {
                CloseHandle(held);
                EXPECT_EQ(differences(before, snapshotProduct()), "") << "everything as it was";
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--expect=", 9) == 0) language = argv[i] + 9;
    }
    return RUN_ALL_TESTS();
}
