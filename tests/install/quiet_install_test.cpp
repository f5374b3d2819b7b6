// The real installer program, run quietly as another program would run it, from a clean user:
// what lands on disk, in the registry and in the Start menu, and what runs afterwards.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/machine/unix_links.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/product_state.h"
#include "tests/support/test_support.h"

namespace {

using namespace testsupport;

constexpr uint32_t kFailed = 0xFFFFFFFF;

// The sample application's files as the build staged them (a Linux folder, seen through the Z:
// drive that Wine maps to the Linux root).
std::wstring sampleTree() {
    wchar_t unixPath[4096] = L"";
    GetEnvironmentVariableW(L"LEXMORA_SAMPLE_TREE", unixPath, 4096);
    std::wstring path = L"Z:" + std::wstring(unixPath);
    for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
    return path;
}

std::set<std::wstring> fileSet(const std::wstring& root) {
    const std::vector<std::wstring> files = filesBelow(root);
    return std::set<std::wstring>(files.begin(), files.end());
}

// A quiet run without a log of its own gets one: every quiet failure must say in it which step
// failed, and the exit code last.
uint32_t runInstaller(const std::wstring& program, const std::wstring& arguments = L"/quiet") {
    const bool logged = arguments.find(L"/log") == std::wstring::npos;
    TemporaryFolder logs;
    const std::wstring log = logged ? L" \"/log=" + logs / L"run.log" + L"\"" : L"";
    const uint32_t code = runAndWait(L"\"" + program + L"\" " + arguments + log, 180000).value_or(0xDEAD);
    const std::string text = readFile(logs / L"run.log").value_or("");
    if (logged) {
        if (code == 0xFFFFFFFF) {
            EXPECT_NE(text.find(" failed: "), std::string::npos) << text;
        }
        EXPECT_NE(text.find(code == 0 ? " exit code 0\r\n" : " exit code -1\r\n"), std::string::npos) << text;
    }
    return code;
}

uint32_t payloadResourceSize(const std::wstring& program) {
    HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return 0;
    HRSRC payload = FindResourceW(module, MAKEINTRESOURCEW(256), MAKEINTRESOURCEW(256));
    const uint32_t size = payload != nullptr ? SizeofResource(module, payload) : 0;
    FreeLibrary(module);
    return size;
}

struct Shortcut {
    std::wstring target;
    std::wstring iconPath;
    int iconIndex = -1;
};
std::optional<Shortcut> readShortcut(const std::wstring& file) {
    std::optional<Shortcut> result;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
        return result;
    }
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
        if (SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
            Shortcut shortcut;
            wchar_t text[MAX_PATH] = L"";
            link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
            shortcut.target = text;
            link->GetIconLocation(text, MAX_PATH, &shortcut.iconIndex);
            shortcut.iconPath = text;
            result = shortcut;
        }
        persist->Release();
    }
    link->Release();
    return result;
}

// The run value names whose command starts the program.
std::vector<std::wstring> runValuesFor(const std::wstring& program) {
    std::vector<std::wstring> names;
    std::wstring wanted = program;
    CharLowerW(wanted.data());
    for (const auto& [name, value] : readValues(kRunKey)) {
        std::wstring command = value.asString();
        CharLowerW(command.data());
        if (command == wanted || command.rfind(L"\"" + wanted + L"\"", 0) == 0) names.push_back(name);
    }
    return names;
}

bool nothingOfTheNewVersion() {
    const ProductPaths paths = productPaths();
    return !fileExists(paths.uninstaller) && !keyExists(kUninstallKey) && runValuesFor(paths.program).empty() &&
           !folderExists(paths.shortcutFolder) && processesInFolder(paths.installFolder).empty();
}

const std::wstring kWorkFolderRecordsParent = L"Software\\Classes\\Local Settings\\Software\\Kelvora\\Lexmora 3 Setup";
const std::wstring kWorkFolderRecords = kWorkFolderRecordsParent + L"\\Work folders";
const std::wstring kRoamingRecords = L"Software\\Kelvora\\Lexmora 3 Setup\\Work folders";

class QuietInstall : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        resetProductState();
    }
    void TearDown() override {
        resetProductState();
        CoUninitialize();
    }
    const ProductPaths paths = productPaths();
};

TEST_F(QuietInstall, InstallsTheSampleApplicationCompletely) {
    // What an earlier major version and the user left: a bootstrap key with more than the two
    // values we retire, and autostart values for the program under other names.
    writeValue(kBootstrapKey, L"path", L"C:\\old\\lexmora.exe");
    writeValue(kBootstrapKey, L"revision", L"2.4.1");
    writeValue(kBootstrapKey, L"channel", L"stable");
    writeValue(kRunKey, L"Lexmora 2", L"\"" + paths.program + L"\" --tray");
    writeValue(kRunKey, L"lexmora", paths.program);

    // With a log, at a path with a blank in quotation marks as a deployment tool passes it.
    TemporaryFolder logs;
    const std::wstring logArgument = L"/quiet \"/log=" + logs / L"setup log.txt" + L"\"";
    ASSERT_EQ(runInstaller(installerUnderTest(), logArgument), 0u);
    const std::string log = readFile(logs / L"setup log.txt").value_or("");
    for (const std::string& line : std::vector<std::string>{"Lexmora installer " + narrow(kProductVersion), "command line: \"" +
                                    narrow(installerUnderTest()) + "\" " + narrow(logArgument), "mode: quiet install",
                                    "installation folder: " + narrow(paths.installFolder), "installed", "exit code 0"}) {
        EXPECT_NE(log.find(" " + line + "\r\n"), std::string::npos) << line << " in\n" << log;
    }
    EXPECT_EQ(log.rfind(" exit code 0\r\n"), log.size() - std::string(" exit code 0\r\n").size()) << "last";

    // Every payload file, byte for byte, and nothing else but the uninstaller.
    const std::set<std::wstring> expected = fileSet(sampleTree());
    ASSERT_FALSE(expected.empty()) << "sample tree " << narrow(sampleTree());
    std::set<std::wstring> installed = fileSet(paths.installFolder);
    EXPECT_EQ(installed.erase(L"uninstall.exe"), 1u);
    EXPECT_EQ(installed, expected);
    for (const std::wstring& file : expected) {
        EXPECT_EQ(readFile(paths.installFolder + L"\\" + file), readFile(sampleTree() + L"\\" + file)) << narrow(file);
    }
    EXPECT_EQ(readFile(paths.uninstaller), readFile(installerUnderTest()));

    // The uninstall entry: eleven values, their types and data.
    const RegistryValues entry = readValues(kUninstallKey);
    EXPECT_EQ(entry.size(), 11u);
    auto text = [&](const wchar_t* name) {
        auto it = entry.find(name);
        return it != entry.end() && it->second.type == REG_SZ ? it->second.asString() : L"(missing)";
    };
    auto number = [&](const wchar_t* name) -> int64_t {
        auto it = entry.find(name);
        return it != entry.end() && it->second.type == REG_DWORD ? it->second.asDword() : -1;
    };
    EXPECT_EQ(text(L"DisplayIcon"), paths.program + L",0");
    EXPECT_EQ(text(L"DisplayName"), L"Lexmora");
    EXPECT_EQ(text(L"DisplayVersion"), kProductVersion);
    const uint64_t installerSize = readFile(installerUnderTest())->size();
    EXPECT_EQ(number(L"EstimatedSize"),
              static_cast<int64_t>((payloadResourceSize(installerUnderTest()) + installerSize) / 1024));
    EXPECT_EQ(text(L"InstallLocation"), paths.installFolder);
    EXPECT_EQ(number(L"NoModify"), 1);
    EXPECT_EQ(number(L"NoRepair"), 1);
    EXPECT_EQ(text(L"Publisher"), L"Norvanta A/S");
    EXPECT_EQ(text(L"UninstallString"), L"\"" + paths.uninstaller + L"\" /uninstall");
    EXPECT_EQ(text(L"URLInfoAbout"), L"https://norvanta.example/");
    EXPECT_EQ(text(L"Version"), kProductVersion);

    // The bootstrap key loses exactly its two values.
    const RegistryValues bootstrap = readValues(kBootstrapKey);
    EXPECT_TRUE(keyExists(kBootstrapKey));
    EXPECT_EQ(bootstrap.size(), 1u);
    EXPECT_EQ(bootstrap.count(L"channel"), 1u);

    // Exactly one autostart value for the program, named "Lexmora", the bare path.
    EXPECT_EQ(runValuesFor(paths.program), std::vector<std::wstring>{L"Lexmora"});
    EXPECT_EQ(readValues(kRunKey)[L"Lexmora"].asString(), paths.program);
    EXPECT_EQ(readValues(kRunKey)[L"Lexmora"].type, static_cast<DWORD>(REG_SZ));

    // Both shortcuts, read back through the shell.
    const auto program = readShortcut(paths.programShortcut);
    ASSERT_TRUE(program.has_value());
    EXPECT_EQ(program->target, paths.program);
    EXPECT_EQ(program->iconPath, paths.program);
    EXPECT_EQ(program->iconIndex, 0);
    const auto chat = readShortcut(paths.chatShortcut);
    ASSERT_TRUE(chat.has_value());
    EXPECT_EQ(chat->target, paths.chatProgram);
    EXPECT_EQ(chat->iconPath, paths.chatProgram);

    // The application runs, started with "--safe-mode".
    HWND window = waitForWindow(L"LexmoraSampleWindow", 0, 20000);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(windowText(window), L"Lexmora (safe mode)");
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const auto running = processesInFolder(paths.installFolder);
    EXPECT_EQ(running, std::vector<DWORD>{processId});
}

TEST_F(QuietInstall, AProductThatWindowsInstallerCannotRemoveStopsTheInstall) {
    // A product code registered under the first upgrade code for a product that is not installed:
    // msiexec.exe fails for it.
    const std::wstring family = L"Software\\Microsoft\\Installer\\UpgradeCodes\\E3F0A1D674B258C4E901A7B3C5D9E214";
    writeValue(family, L"0000000000000000000000000000DEAD", L"");
    EXPECT_EQ(runInstaller(installerUnderTest()), kFailed);
    deleteKeyTree(family);
    EXPECT_FALSE(folderExists(paths.installFolder));
    EXPECT_TRUE(nothingOfTheNewVersion());
}

TEST_F(QuietInstall, AnEarlierUninstallerThatFailsStopsTheInstallUnlessItTookPartOfTheEarlierVersion) {
    const std::wstring failing = L"\"" + besideModule(L"exit_with_code.exe") + L"\" 1 0";
    writeValue(kUninstallKey, L"UninstallString", failing);
    TemporaryFolder logs;
    EXPECT_EQ(runInstaller(installerUnderTest(), L"/quiet \"/log=" + logs / L"run.log" + L"\""), kFailed);
    // The log names the command that failed and how it ended.
    EXPECT_NE(readFile(logs / L"run.log").value_or("").find("failed: removal of earlier versions; command " +
                                                            narrow(failing) + " /quiet; exit code 1 (0x00000001)"),
              std::string::npos);
    EXPECT_FALSE(folderExists(paths.installFolder));
    EXPECT_FALSE(fileExists(paths.uninstaller));
    EXPECT_TRUE(runValuesFor(paths.program).empty());
    EXPECT_FALSE(folderExists(paths.shortcutFolder));

    // One that fails after deleting part of the earlier version, as earlier builds could, has
    // already cost the user the version that works: the complete new one goes in instead.
    resetProductState();
    ASSERT_EQ(runInstaller(besideModule(L"test-installer-first.exe")), 0u);
    endProcessesInFolder(paths.installFolder);
    writeValue(kUninstallKey, L"UninstallString",
               L"C:\\windows\\system32\\cmd.exe /c del \"" + paths.installFolder + L"\\readme.txt\" & exit 1");
    EXPECT_EQ(runInstaller(installerUnderTest()), 0u);
    std::set<std::wstring> installed = fileSet(paths.installFolder);
    EXPECT_EQ(installed.erase(L"uninstall.exe"), 1u);
    EXPECT_EQ(installed, fileSet(sampleTree()));
    EXPECT_EQ(readValues(kUninstallKey).size(), 11u);
}

TEST_F(QuietInstall, ReplacesAnEarlierInstallationThroughItsOwnUninstaller) {
    // The first build carries one more file than the second.
    ASSERT_EQ(runInstaller(besideModule(L"test-installer-first.exe")), 0u);
    ASSERT_TRUE(fileExists(paths.installFolder + L"\\only-in-first.txt"));
    ASSERT_EQ(readFile(paths.uninstaller), readFile(besideModule(L"test-installer-first.exe")));
    endProcessesInFolder(paths.installFolder);
    // Started through a shell: that uninstaller is not the installer's child, and still belongs
    // to its run (were it to wait for the installer's lock, both would wait for ever).
    writeValue(kUninstallKey, L"UninstallString",
               L"C:\\windows\\system32\\cmd.exe /c \"" + paths.uninstaller + L"\" /uninstall");

    ASSERT_EQ(runInstaller(installerUnderTest()), 0u);
    EXPECT_FALSE(fileExists(paths.installFolder + L"\\only-in-first.txt")) << "the first uninstaller ran";
    std::set<std::wstring> installed = fileSet(paths.installFolder);
    installed.erase(L"uninstall.exe");
    EXPECT_EQ(installed, fileSet(sampleTree()));
    EXPECT_EQ(readFile(paths.uninstaller), readFile(installerUnderTest()));
    EXPECT_EQ(readValues(kUninstallKey).size(), 11u);
}

TEST_F(QuietInstall, ABrokenPayloadLeavesNothingBehind) {
    EXPECT_EQ(runInstaller(besideModule(L"test-installer-broken.exe")), kFailed);
    // What was unpacked before the break went with its staging folder.
    EXPECT_FALSE(folderExists(paths.installFolder));
    EXPECT_EQ(workFoldersBeside(paths), std::vector<std::wstring>{});
    EXPECT_FALSE(folderExists(paths.localAppData + L"\\Apps")) << "made by the install, and empty";
    EXPECT_TRUE(nothingOfTheNewVersion());
    Sleep(500);
    EXPECT_EQ(waitForWindow(L"LexmoraSampleWindow", 0, 0), nullptr) << "nothing was started";
}

// The names left in a folder.
std::set<std::wstring> folderContents(const std::wstring& folder) { return fileSet(folder); }

TEST_F(QuietInstall, TheRegisteredUninstallerRemovesEverythingButItself) {
    ASSERT_EQ(runInstaller(installerUnderTest()), 0u);
    RunningProgram chat(L"\"" + paths.chatProgram + L"\"", L"ParlavoSampleWindow");
    ASSERT_NE(waitForWindow(L"LexmoraSampleWindow", 0, 20000), nullptr);
    ASSERT_EQ(processesInFolder(paths.installFolder).size(), 2u);

    // A file of the user's whose path is longer than 260 units: all of it goes, or nothing does.
    std::wstring deep = L"\\\\?\\" + paths.installFolder;
    for (int level = 0; level < 12; ++level) {
        deep += L"\\a folder of the user's with a long name";
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    }
    ASSERT_GT(deep.size(), 300u);
    ASSERT_TRUE(writeFile(deep + L"\\notes.txt", "the user's"));

    // As a later installer runs it: the registered command with " /quiet".
    const std::wstring command = readString(kUninstallKey, L"UninstallString").value_or(L"");
    if (runAndWait(command + L" /quiet", 60000) != 0u) {
        EXPECT_TRUE(fileExists(deep + L"\\notes.txt") && fileExists(paths.program) && keyExists(kUninstallKey))
            << "a failed uninstall deletes nothing";
        return;
    }

    EXPECT_EQ(chat.exitCode(0), 0u) << "ended by the uninstaller";
    EXPECT_TRUE(processesInFolder(paths.installFolder).empty());
    EXPECT_EQ(folderContents(paths.installFolder), std::set<std::wstring>{L"uninstall.exe"});
    EXPECT_FALSE(folderExists(paths.shortcutFolder));
    EXPECT_TRUE(runValuesFor(paths.program).empty());
    EXPECT_FALSE(keyExists(kUninstallKey));
}

TEST_F(QuietInstall, AnUninstallFromElsewhereLeavesNothing) {
    ASSERT_EQ(runInstaller(installerUnderTest()), 0u);
    ASSERT_NE(waitForWindow(L"LexmoraSampleWindow", 0, 20000), nullptr);
    ASSERT_EQ(runInstaller(installerUnderTest(), L"/uninstall /quiet"), 0u);
    EXPECT_FALSE(folderExists(paths.installFolder));
    EXPECT_TRUE(nothingOfTheNewVersion());
}

// On 64-bit Windows the shipped 32-bit installer writes through the registry view and the shell of
// a 32-bit program; 64-bit programs (the control panel, Explorer, the 64-bit application) must
// find the entry, the autostart value and the shortcuts all the same: here the 64-bit reg.exe and
// a 64-bit probe read them.
TEST_F(QuietInstall, SixtyFourBitProgramsSeeWhatTheInstallWrote) {
    const std::wstring probe = x64Program(L"product_probe.exe");
    if (probe.empty()) GTEST_SKIP() << "the installer under test is 64-bit itself";
    ASSERT_EQ(runInstaller(installerUnderTest()), 0u);

    TemporaryFolder folder;
    ASSERT_EQ(runAndWait(L"\"" + probe + L"\" \"" + (folder / L"probe.txt") + L"\""), 0u);
    const std::wstring seen = widen(readFile(folder / L"probe.txt").value_or(""));
    for (const std::wstring& line : std::vector<std::wstring>{
             L"bits=64", L"uninstall.InstallLocation=" + paths.installFolder,
          L"uninstall.UninstallString=\"" + paths.uninstaller + L"\" /uninstall", L"uninstall.NoModify=1",
          L"run.Lexmora=" + paths.program, L"shortcut.Lexmora.lnk=" + paths.program,
          L"shortcut.Kelvora Chat.lnk=" + paths.chatProgram}) {
        EXPECT_NE(seen.find(line + L"\n"), std::wstring::npos) << narrow(line) << " in\n" << narrow(seen);
    }

    // The 64-bit reg.exe, reached from this 32-bit process through Sysnative.
    wchar_t windows[MAX_PATH] = L"";
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring exported = folder / L"entry.reg";
    ASSERT_EQ(runAndWait(std::wstring(L"\"") + windows + L"\\Sysnative\\reg.exe\" export \"HKCU\\" + kUninstallKey +
                         L"\" \"" + exported + L"\" /y"), 0u);
    const std::string bytes = readFile(exported).value_or("");
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    std::wstring escaped;
    for (const wchar_t c : paths.installFolder) escaped += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
    EXPECT_NE(text.find(L"\"InstallLocation\"=\"" + escaped + L"\""), std::wstring::npos) << narrow(text);
}

// The folder the next two tests name as missing. Anything a failed run put there (a folder, a
// running application) is taken away before and after, so that it can neither pass for a folder
// that exists nor outlive the test.
void removeMissingFolder() {
    endProcessesInFolder(L"C:\\no such folder");
    deleteTree(L"C:\\no such folder");
}

TEST_F(QuietInstall, WithoutALocalApplicationDataFolderNothingIsWritten) {
    removeMissingFolder();
    {
        RedirectedShellFolder missing(L"Local AppData", L"C:\\no such folder\\AppData\\Local");
        EXPECT_EQ(runInstaller(installerUnderTest()), kFailed);
    }
    EXPECT_FALSE(folderExists(L"C:\\Apps")) << "nothing below the drive root";
    EXPECT_FALSE(folderExists(L"C:\\no such folder"));
    EXPECT_FALSE(keyExists(kUninstallKey));
    EXPECT_TRUE(runValuesFor(L"\\Apps\\Lexmora 3\\lexmora.exe").empty());
    EXPECT_TRUE(nothingOfTheNewVersion());
    removeMissingFolder();
}

TEST_F(QuietInstall, WithoutAStartMenuTheShortcutsAreSkippedAndTheRestInstalled) {
    removeMissingFolder();
    {
        RedirectedShellFolder missing(L"Start Menu", L"C:\\no such folder\\Start Menu");
        EXPECT_EQ(runInstaller(installerUnderTest()), 0u);
    }
    EXPECT_FALSE(folderExists(L"C:\\Kelvora")) << "no shortcuts below the drive root";
    EXPECT_FALSE(folderExists(L"C:\\no such folder"));
    EXPECT_FALSE(folderExists(paths.shortcutFolder));
    EXPECT_TRUE(fileExists(paths.program));
    EXPECT_EQ(readValues(kUninstallKey).size(), 11u);
    removeMissingFolder();
}

// One changed byte of a download, in a block or in a chunk's header, over a working
// installation: refused before anything is removed, and the version that works stays whole.
TEST_F(QuietInstall, ADamagedDownloadLeavesTheWorkingVersionAsItWas) {
    ASSERT_EQ(runInstaller(installerUnderTest()), 0u);
    ASSERT_NE(waitForWindow(L"LexmoraSampleWindow", 0, 20000), nullptr);
    const ProductSnapshot before = snapshotProduct();
    TemporaryFolder folder;
    const std::pair<const char*, std::function<void(std::string&)>> damages[] = {
        {"a byte inside a block", [](std::string& payload) { payload[chunkOffset(payload, 0, 0) + 100] ^= 0x10; }},
        {"a file chunk turned into a kind readers skip", [](std::string& payload) { payload[chunkOffset(payload, 1, 1)] = 5; }},
        {"a letter of a path", [](std::string& payload) { payload[chunkOffset(payload, 1, 0) + 4] ^= 0x01; }},
    };
    for (const auto& [what, damage] : damages) {
        EXPECT_EQ(runInstaller(damagedCopy(installerUnderTest(), folder, damage)), kFailed) << what;
        EXPECT_EQ(differences(before, snapshotProduct()), "") << what;
    }
}

// Another program holds a file of the installation folder: a file of the user's saved into it, a
// file of the application, or any file for two seconds, as a virus scanner holds a file it checks.
// An upgrade or an uninstall either completes or changes nothing; once the holder lets go, the
// same command succeeds.
TEST_F(QuietInstall, AFileInUseNeverCostsTheWorkingInstallation) {
    struct Hold {
        const char* what;
        const wchar_t* file;
        DWORD forMs;  // 0: until the run has failed
    };
    const Hold holds[] = {
        {"a file of the user's", L"notes.txt", 0},
        {"a file of the application", L"dictionaries\\da-en.lexd", 0},
        {"a file held for two seconds", L"readme.txt", 2000},
    };
    TemporaryFolder logs;
    const std::wstring logArgument = L" /log=" + logs / L"run.log";
    const std::pair<const char*, std::function<std::wstring()>> commands[] = {
        {"upgrade", [&] { return L"\"" + installerUnderTest() + L"\" /quiet" + logArgument; }},
        {"uninstall", [&] { return readString(kUninstallKey, L"UninstallString").value_or(L"") + L" /quiet" + logArgument; }},
    };
    for (const auto& [action, command] : commands) {
        for (const Hold& hold : holds) {
            SCOPED_TRACE(std::string(action) + " with " + hold.what);
            resetProductState();
            ASSERT_EQ(runInstaller(installerUnderTest()), 0u);
            endProcessesInFolder(paths.installFolder);
            ASSERT_TRUE(writeFile(paths.installFolder + L"\\notes.txt", "mine"));
            const ProductSnapshot before = snapshotProduct();
            HANDLE held = CreateFileW((paths.installFolder + L"\\" + hold.file).c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(held, INVALID_HANDLE_VALUE);
            std::thread letGo([&] {
                if (hold.forMs != 0) {
                    Sleep(hold.forMs);
                    CloseHandle(held);
                }
            });
            const uint32_t result = runAndWait(command(), 120000).value_or(0xDEAD);
            letGo.join();
            if (hold.forMs == 0) {
                EXPECT_EQ(result, kFailed);
                // The log says which step, which system error and which file.
                const std::string log = readFile(logs / L"run.log").value_or("");
                const std::string failed = std::string(" failed: ") + (std::string(action) == "upgrade" ? "claim" : "uninstall") +
                                           "; system error 32 (0x00000020): ";
                EXPECT_NE(log.find(failed), std::string::npos) << log;
                EXPECT_NE(log.find("; path " + narrow(paths.installFolder + L"\\" + hold.file) + "\r\n"), std::string::npos) << log;
                EXPECT_NE(log.find(" exit code -1\r\n"), std::string::npos) << log;
                CloseHandle(held);
                EXPECT_EQ(differences(before, snapshotProduct()), "") << "the installation is as it was";
                EXPECT_EQ(runAndWait(command(), 120000), 0u) << "once the holder has let go";
            } else {
                EXPECT_EQ(result, 0u) << "a hold of a moment is waited out";
            }
            EXPECT_EQ(keyExists(kUninstallKey), std::string(action) == "upgrade");
            EXPECT_FALSE(fileExists(paths.installFolder + L"\\notes.txt")) << "the whole tree went";
        }
    }
}

// The user's local application data on a share: the install's own folder is its own there too,
// so install, upgrade and uninstall all work.
TEST_F(QuietInstall, LocalApplicationDataOnANetworkDrive) {
    ASSERT_EQ(GetDriveTypeW(L"N:\\"), static_cast<UINT>(DRIVE_REMOTE)) << "the harness's network drive";
    CreateDirectoryW(L"N:\\AppData", nullptr);
    CreateDirectoryW(L"N:\\AppData\\Local", nullptr);
    {
        RedirectedShellFolder onShare(L"Local AppData", L"N:\\AppData\\Local");
        const ProductPaths share = productPaths();
        ASSERT_EQ(runInstaller(installerUnderTest()), 0u);
        ASSERT_TRUE(writeFile(share.installFolder + L"\\notes.txt", "of the first installation"));
        EXPECT_EQ(runInstaller(installerUnderTest()), 0u) << "upgrade";
        EXPECT_FALSE(fileExists(share.installFolder + L"\\notes.txt")) << "the earlier installation went";
        EXPECT_EQ(readValues(kUninstallKey).size(), 11u);
        EXPECT_EQ(runValuesFor(share.program).size(), 1u);
        EXPECT_EQ(runInstaller(installerUnderTest(), L"/uninstall /quiet"), 0u);
        EXPECT_FALSE(folderExists(share.installFolder));
        EXPECT_TRUE(nothingOfTheNewVersion());
    }
    deleteTree(L"N:\\AppData");
}

TEST_F(QuietInstall, AnEarlierUninstallerThatIsGoneIsNoInstallationToRemove) {
    // The folder deleted by hand, or an uninstall cut off after deleting its own copy.
    writeValue(kUninstallKey, L"UninstallString", L"\"" + paths.uninstaller + L"\" /uninstall");
    ASSERT_FALSE(fileExists(paths.uninstaller));
    EXPECT_EQ(runInstaller(installerUnderTest()), 0u);
    EXPECT_EQ(readValues(kUninstallKey).size(), 11u);
    EXPECT_EQ(readFile(paths.uninstaller), readFile(installerUnderTest()));
}

TEST_F(QuietInstall, InstallersStartedTogetherTakeTurns) {
    const std::wstring command = L"\"" + installerUnderTest() + L"\" /quiet";
    for (int trial = 0; trial < 4; ++trial) {
        RunningProgram first(command);
        RunningProgram second(command);
        EXPECT_EQ(first.exitCode(120000), 0u) << "trial " << trial;
        EXPECT_EQ(second.exitCode(120000), 0u) << "trial " << trial;
    }
    std::set<std::wstring> installed = fileSet(paths.installFolder);
    EXPECT_EQ(installed.erase(L"uninstall.exe"), 1u);
    EXPECT_EQ(installed, fileSet(sampleTree()));
    EXPECT_EQ(readValues(kUninstallKey).size(), 11u);
    EXPECT_EQ(runValuesFor(paths.program).size(), 1u);
}

TEST_F(QuietInstall, ADriveTooSmallIsRefusedBeforeAnythingChanges) {
    ASSERT_EQ(GetFileAttributesW(L"S:\\") & FILE_ATTRIBUTE_DIRECTORY, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY))
        << "the harness's small drive";
    OnTheSmallDrive drive;
    const ProductPaths small = productPaths();
    ASSERT_EQ(runInstaller(installerUnderTest()), 0u) << "a working installation on that drive";
    endProcessesInFolder(small.installFolder);
    const ProductSnapshot before = snapshotProduct();
    ASSERT_EQ(runAndWait(OnTheSmallDrive::fillCommand(64 * 1024)), 0u);

    EXPECT_EQ(runInstaller(installerUnderTest()), kFailed);
    EXPECT_EQ(differences(before, snapshotProduct()), "");
}

// A run cut off part way: an upgrade ended while it unpacks (Task Manager, a log-off, a deployment
// tool's time-out), an upgrade whose drive another program fills while it unpacks, an uninstall
// ended while it deletes. The earlier version stays complete (an uninstall keeps its entry and the
// uninstaller it names); the same command then completes, and nothing is left beside the folder.
TEST_F(QuietInstall, ARunCutOffPartWayIsFinishedByTheNextOne) {
    const std::wstring bulk = besideModule(L"test-installer-bulk.exe");
    const std::wstring bulkTree = L"Z:" + [] {
        wchar_t unixPath[4096] = L"";
        GetEnvironmentVariableW(L"LEXMORA_BULK_TREE", unixPath, 4096);
        std::wstring path = unixPath;
        for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
        return path;
    }();
    enum class Cut { EndedWhileUnpacking, DriveFilledWhileUnpacking, UninstallEndedWhileDeleting };
    for (const Cut cut : {Cut::EndedWhileUnpacking, Cut::DriveFilledWhileUnpacking, Cut::UninstallEndedWhileDeleting}) {
        SCOPED_TRACE(static_cast<int>(cut));
        OnTheSmallDrive drive;
        const ProductPaths small = productPaths();
        const bool uninstall = cut == Cut::UninstallEndedWhileDeleting;
        ASSERT_EQ(runInstaller(uninstall ? bulk : besideModule(L"test-installer-first.exe")), 0u);
        endProcessesInFolder(small.installFolder);
        const ProductSnapshot before = snapshotProduct();
        const std::wstring command = uninstall ? readString(kUninstallKey, L"UninstallString").value_or(L"") + L" /quiet"
                                               : L"\"" + bulk + L"\" /quiet";

        RunningProgram run(command);
        std::unique_ptr<PausedProcess> paused;
        if (uninstall) {
            for (int i = 0; i < 20000 && !paused; ++i, Sleep(1)) {
                if (!fileExists(small.installFolder + L"\\bulk\\399.dat")) paused = std::make_unique<PausedProcess>(run.processId());
            }
        } else {
            paused = pauseWhileUnpacking(run.processId(), small, 60000);
        }
        ASSERT_TRUE(paused) << "caught part way";
        if (cut == Cut::DriveFilledWhileUnpacking) {
            ASSERT_EQ(runAndWait(OnTheSmallDrive::fillCommand(0)), 0u);
            paused->resume();
            EXPECT_EQ(run.exitCode(120000), kFailed);
            EXPECT_EQ(workFoldersBeside(small), std::vector<std::wstring>{}) << "the staging folder went";
            OnTheSmallDrive::removeFiller();
        } else {
            TerminateProcess(run.handle(), 1);
            EXPECT_TRUE(run.exitCode(10000).has_value());
            // Recorded where the profile does not roam: the folder it names does not roam either.
            EXPECT_EQ(readValues(kWorkFolderRecords).size(), 1u);
            if (cut == Cut::EndedWhileUnpacking) {
                // As an earlier build recorded it, in the roaming part: read there, and removed all the same.
                for (const auto& [name, value] : readValues(kWorkFolderRecords)) writeValue(kRoamingRecords, name, value.asString());
                deleteKeyTree(kWorkFolderRecordsParent);
            }
        }
        if (uninstall) {
            EXPECT_EQ(readValues(kUninstallKey), before.entry) << "the entry stays until everything else is gone";
            EXPECT_TRUE(fileExists(small.uninstaller));
        } else {
            EXPECT_EQ(differences(before, snapshotProduct()), "") << "the earlier version is as it was";
        }

        ASSERT_EQ(runAndWait(command, 120000), 0u) << "the same command again";
        EXPECT_EQ(workFoldersBeside(small), std::vector<std::wstring>{}) << "nothing is left beside the installation folder";
        EXPECT_FALSE(keyExists(kWorkFolderRecordsParent));
        EXPECT_FALSE(keyExists(L"Software\\Kelvora\\Lexmora 3 Setup"));
        std::set<std::wstring> installed = fileSet(small.installFolder);
        EXPECT_EQ(installed.erase(L"uninstall.exe"), 1u);
        EXPECT_EQ(installed, uninstall ? std::set<std::wstring>{} : fileSet(bulkTree));
        EXPECT_EQ(keyExists(kUninstallKey), !uninstall);
    }
}

// Where the earlier installation's folder cannot be moved aside (here another program's current
// folder, left there by that installation's uninstaller), the new version is moved in entry by
// entry after a moment's wait: a complete installation all the same, without the earlier one's
// files.
TEST_F(QuietInstall, AnUpgradeCompletesWhereTheFolderCannotBeMovedAside) {
    ASSERT_EQ(runInstaller(besideModule(L"test-installer-first.exe")), 0u);
    endProcessesInFolder(paths.installFolder);
    const std::wstring holder = besideModule(L"exit_with_code.exe");
    writeValue(kUninstallKey, L"UninstallString",
               L"C:\\windows\\system32\\cmd.exe /c start \"\" /D \"" + paths.installFolder + L"\" \"" + holder + L"\" 0 8000");

    EXPECT_EQ(runInstaller(installerUnderTest()), 0u);
    for (const DWORD id : processesOf(holder)) {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
        WaitForSingleObject(process, 20000);
        CloseHandle(process);
    }
    std::set<std::wstring> installed = fileSet(paths.installFolder);
    EXPECT_EQ(installed.erase(L"uninstall.exe"), 1u);
    EXPECT_EQ(installed, fileSet(sampleTree())) << "only-in-first.txt went aside";
    EXPECT_EQ(readFile(paths.uninstaller), readFile(installerUnderTest()));
    EXPECT_EQ(readValues(kUninstallKey).size(), 11u);
    EXPECT_EQ(workFoldersBeside(paths), std::vector<std::wstring>{});
}

// "/log" alone writes a file of its own in the user's temporary folder: never one that is there
// already, planted or not. A log that cannot be written stops the run before it changes anything.
TEST_F(QuietInstall, TheLogGoesWhereItIsAskedForOrTheRunStops) {
    wchar_t temp[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, temp);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t stem[64];
    wsprintfW(stem, L"Lexmora-setup-%04u-%02u-%02u-", now.wYear, now.wMonth, now.wDay);
    const std::wstring planted = std::wstring(temp) + stem + L"1.log";
    std::vector<std::wstring> logs;
    for (int n = 1; n <= 20; ++n) logs.push_back(std::wstring(temp) + stem + std::to_wstring(n) + L".log");
    for (const std::wstring& log : logs) DeleteFileW(log.c_str());
    ASSERT_TRUE(writeFile(planted, "planted"));

    EXPECT_EQ(runInstaller(installerUnderTest(), L"/quiet /log"), 0u);
    EXPECT_EQ(readFile(planted), "planted");
    const std::string log = readFile(logs[1]).value_or("");
    EXPECT_NE(log.find(" exit code 0\r\n"), std::string::npos) << narrow(logs[1]) << ":\n" << log;
    for (const std::wstring& file : logs) DeleteFileW(file.c_str());

    resetProductState();
    EXPECT_EQ(runInstaller(installerUnderTest(), L"/quiet \"/log=C:\\no such folder\\setup.log\""), kFailed);
    EXPECT_FALSE(folderExists(L"C:\\no such folder"));
    EXPECT_FALSE(folderExists(paths.installFolder));
    EXPECT_TRUE(nothingOfTheNewVersion());
}

// The user moved the installation folder to another drive and left a link of its name (a junction
// on Windows; here a link of the host that Wine shows the same way). A fresh install and an upgrade
// both put the files where the link leads, stage beside them there, and keep the link a link.
TEST_F(QuietInstall, ALinkedInstallationFolderKeepsItsFilesWhereTheLinkLeads) {
    const std::wstring moved = L"S:\\Moved", target = moved + L"\\Lexmora 3";
    ASSERT_TRUE(CreateDirectoryW(moved.c_str(), nullptr) && CreateDirectoryW(target.c_str(), nullptr));
    CreateDirectoryW(paths.installFolder.substr(0, paths.installFolder.rfind(L'\\')).c_str(), nullptr);
    ASSERT_TRUE(removaltest::makeFolderLink(paths.installFolder, target));
    for (const std::wstring& installer : {besideModule(L"test-installer-first.exe"), installerUnderTest()}) {
        SCOPED_TRACE(narrow(installer));
        EXPECT_EQ(runInstaller(installer), 0u);
        endProcessesInFolder(paths.installFolder);
        endProcessesInFolder(target);
        EXPECT_NE(GetFileAttributesW(paths.installFolder.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << "still a link";
        EXPECT_TRUE(fileExists(target + L"\\uninstall.exe")) << "the files are where the link leads";
        EXPECT_EQ(namesIn(moved), std::vector<std::wstring>{L"Lexmora 3"}) << "nothing staged beside them is left";
        EXPECT_EQ(workFoldersBeside(paths), std::vector<std::wstring>{});
        EXPECT_EQ(readString(kUninstallKey, L"InstallLocation").value_or(L""), paths.installFolder);
    }
    std::set<std::wstring> installed = fileSet(target);
    EXPECT_EQ(installed.erase(L"uninstall.exe"), 1u);
    EXPECT_EQ(installed, fileSet(sampleTree())) << "the upgrade left nothing of the earlier version";
    removaltest::removeFolderLink(paths.installFolder);
    deleteTree(moved);
}

// Another account's run holds both names of the lock, made so that this user may not open them
// (an elevated run of an earlier build does that). The install waits for it, saying so, and
// completes once that run ends; it never runs beside it.
TEST_F(QuietInstall, ALockThisUserMayNotOpenIsWaitedFor) {
    TemporaryFolder work;
    RunningProgram holder(L"\"" + besideModule(L"hold_lock_names.exe") + L"\" \"" + (work / L"ready") + L"\" 6000");
    for (int i = 0; i < 100 && !fileExists(work / L"ready"); ++i) Sleep(50);
    ASSERT_TRUE(fileExists(work / L"ready")) << "the names are held";

    RunningProgram install(L"\"" + installerUnderTest() + L"\" /quiet \"/log=" + (work / L"run.log") + L"\"");
    Sleep(3000);
    EXPECT_TRUE(install.running()) << "waiting";
    EXPECT_FALSE(fileExists(paths.uninstaller)) << "nothing installed meanwhile";
    EXPECT_EQ(holder.exitCode(20000), 0u);
    EXPECT_EQ(install.exitCode(120000), 0u);
    EXPECT_TRUE(fileExists(paths.uninstaller));
    const std::string log = readFile(work / L"run.log").value_or("");
    EXPECT_NE(log.find("lock: held by a run this program may not open"), std::string::npos) << log;
    EXPECT_EQ(log.find("unguarded"), std::string::npos) << log;
}

}  // namespace
