// Installer::uninstall in this process, against an installation planted in the prefix's user:
// what it asks and shows, what it ends and deletes, and what it must leave alone.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/installer.h"
#include "machine/installation_folder/install_location.h"
#include "tests/support/recording_front_end.h"
#include "tests/machine/removal_state.h"
#include "tests/machine/unix_links.h"
#include "tests/support/test_support.h"
#include "platform/user_language.h"
#include "ui/dummy_logger.h"

namespace swiftsetup {
namespace {

using namespace testsupport;
using namespace removaltest;

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class UninstallSequence : public testing::Test {
protected:
    void SetUp() override {
        resetRemovalState();
        ASSERT_FALSE(paths.localAppData.empty());
        ASSERT_FALSE(paths.startMenu.empty());
    }
    void TearDown() override { resetRemovalState(); }

    bool uninstall(RecordingFrontEnd& frontEnd) {
        Installer installer;
        DummyLogger logger;
        const bool result = installer.uninstall(frontEnd, logger);
        EXPECT_EQ(installer.frontEnd, &frontEnd);
        return result;
    }

    // Everything but the folder and the programs that the uninstall removes besides; the
    // autostart values are those of the program in the folder that the entry names.
    void expectRestRemoved(const std::wstring& program) {
        EXPECT_FALSE(exists(paths.programShortcut));
        EXPECT_FALSE(exists(paths.chatShortcut));
        EXPECT_FALSE(exists(paths.shortcutFolder));
        EXPECT_TRUE(runValuesStartingProgram(program).empty());
        EXPECT_TRUE(readString(kRunKey, kForeignRunValue).has_value()) << "another program's autostart stays";
        EXPECT_FALSE(keyExists(kUninstallKey));
    }

    const ProductPaths paths = productPaths();
    const std::wstring installerProgram = installerUnderTest();
};

TEST_F(UninstallSequence, DecliningChangesNothing) {
    ASSERT_TRUE(plantInstallation(installerProgram));
    const auto programs = startPlantedPrograms();
    const ProductSnapshot before = snapshotProduct();
    RecordingFrontEnd frontEnd(false);

    EXPECT_FALSE(uninstall(frontEnd));

    ASSERT_EQ(frontEnd.questions.size(), 1u);
    EXPECT_EQ(frontEnd.questions[0].text, translate("#uninstaller_confirm_message"));
    EXPECT_EQ(frontEnd.questions[0].caption, translate("#uninstaller_confirm_title"));
    EXPECT_EQ(frontEnd.events, std::vector<std::string>{"question"}) << "no status, no progress";
    EXPECT_EQ(differences(before, snapshotProduct()), "");
}

TEST_F(UninstallSequence, ConfirmingEndsTheProgramsAndRemovesEverything) {
    ASSERT_TRUE(plantInstallation(installerProgram));
    const size_t entries = entriesInTree(paths.installFolder);
    const auto programs = startPlantedPrograms();
    RecordingFrontEnd frontEnd(true);

    EXPECT_TRUE(uninstall(frontEnd));

    for (const auto& program : programs) EXPECT_EQ(program->exitCode(), 0u) << "ended, not finished by itself";
    EXPECT_FALSE(exists(paths.installFolder));
    EXPECT_TRUE(folderExists(paths.localAppData + L"\\Apps")) << "folders above the installation stay";
    expectRestRemoved(paths.program);

    // The two status lines frame the progress, which runs evenly up to 100 of 100.
    const std::string removingFiles = translate("#uninstaller_status_removing_files");
    const std::string removingUninstaller = translate("#uninstaller_status_removing_uninstaller");
    ASSERT_GE(frontEnd.events.size(), 4u);
    EXPECT_EQ(frontEnd.events[0], "question");
    EXPECT_EQ(frontEnd.events[1], "status:" + removingFiles);
    EXPECT_EQ(frontEnd.events.back(), "status:" + removingUninstaller);
    EXPECT_EQ(frontEnd.statuses, (std::vector<std::string>{removingFiles, removingUninstaller}));
    // One step for each file and folder.
    ASSERT_EQ(frontEnd.progress.size(), entries);
    uint32_t previous = 0;
    for (const auto& [position, total] : frontEnd.progress) {
        EXPECT_EQ(total, 100u);
        EXPECT_GE(position, previous);
        previous = position;
    }
    EXPECT_EQ(previous, 100u);
}

TEST_F(UninstallSequence, AForeignFileKeepsTheStartMenuFolder) {
    ASSERT_TRUE(plantInstallation(installerProgram));
    ASSERT_TRUE(writeFile(paths.shortcutFolder + L"\\Notes.txt", "mine"));
    RecordingFrontEnd frontEnd;
    EXPECT_TRUE(uninstall(frontEnd));
    EXPECT_FALSE(exists(paths.programShortcut));
    EXPECT_FALSE(exists(paths.chatShortcut));
    EXPECT_TRUE(fileExists(paths.shortcutFolder + L"\\Notes.txt"));
    EXPECT_FALSE(exists(paths.installFolder));
    EXPECT_FALSE(keyExists(kUninstallKey));
}

TEST_F(UninstallSequence, WithoutAnEntryTheInstallationWhereTheInstallPutsItGoes) {
    ASSERT_TRUE(plantInstallation(installerProgram));
    deleteKeyTree(kUninstallKey);
    writeValue(kRunKey, L"Bare", L"\\lexmora.exe");
    const auto programs = startPlantedPrograms();
    RecordingFrontEnd frontEnd;

    EXPECT_TRUE(uninstall(frontEnd));

    for (const auto& program : programs) EXPECT_EQ(program->exitCode(), 0u);
    EXPECT_FALSE(exists(paths.installFolder));
    EXPECT_FALSE(frontEnd.progress.empty());
    expectRestRemoved(paths.program);
    EXPECT_TRUE(readString(kRunKey, L"Bare").has_value()) << "a program in no folder is none of ours";
    deleteValue(kRunKey, L"Bare");
}

TEST_F(UninstallSequence, AutostartValuesThatMerelyMentionTheProgramStay) {
    ASSERT_TRUE(plantInstallation(installerProgram));
    const std::wstring withArguments = paths.program + L" --tray";
    const std::wstring unclosed = L"\"" + paths.program;
    writeValue(kRunKey, L"Unquoted with arguments", withArguments);
    writeValue(kRunKey, L"Expandable", paths.program, REG_EXPAND_SZ);
    writeValue(kRunKey, L"Unclosed quote", unclosed);
    RecordingFrontEnd frontEnd;

    EXPECT_TRUE(uninstall(frontEnd));

    for (const wchar_t* name : {L"Lexmora", L"Lexmora (old)", L"Lexmora startup"}) {
        EXPECT_FALSE(readString(kRunKey, name).has_value()) << narrow(name);
    }
    EXPECT_EQ(readString(kRunKey, L"Unquoted with arguments"), withArguments);
    EXPECT_EQ(readString(kRunKey, L"Expandable"), paths.program);
    EXPECT_EQ(readString(kRunKey, L"Unclosed quote"), unclosed);
    for (const wchar_t* name : {L"Unquoted with arguments", L"Expandable", L"Unclosed quote"}) deleteValue(kRunKey, name);
}

// The user's Start menu redirected to a folder that does not exist: the shell then names none.
class MissingStartMenu {
public:
    MissingStartMenu() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
        DWORD size = sizeof(saved_) - sizeof(wchar_t);
        saved_ok_ = RegQueryValueExW(key, L"Start Menu", nullptr, &type_, reinterpret_cast<BYTE*>(saved_), &size) ==
                    ERROR_SUCCESS;
        RegCloseKey(key);
        if (saved_ok_) writeValue(kShellFolders, L"Start Menu", L"C:\\no such start menu", REG_EXPAND_SZ);
    }
    ~MissingStartMenu() {
        if (saved_ok_) writeValue(kShellFolders, L"Start Menu", saved_, type_);
    }
    MissingStartMenu(const MissingStartMenu&) = delete;
    MissingStartMenu& operator=(const MissingStartMenu&) = delete;
    bool active() const { return saved_ok_; }

private:
    static constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    wchar_t saved_[1024] = {};
    DWORD type_ = REG_EXPAND_SZ;
    bool saved_ok_ = false;
};

TEST_F(UninstallSequence, WithoutAStartMenuNoShortcutIsLookedForBelowTheDriveRoot) {
    ASSERT_TRUE(plantInstallation(installerProgram));
    // Where "\Kelvora\Lexmora.lnk" leads without a Start menu: the current drive's root.
    TemporaryFolder temp;
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(temp.path().c_str()));
    const std::wstring decoyFolder = temp.path().substr(0, 2) + L"\\Kelvora";
    const bool decoyIsNew = CreateDirectoryW(decoyFolder.c_str(), nullptr) != FALSE;
    ASSERT_TRUE(writeFile(decoyFolder + L"\\Lexmora.lnk", "someone else's"));
    {
        MissingStartMenu missing;
        ASSERT_TRUE(missing.active());
        wchar_t startMenu[MAX_PATH];
        ASSERT_NE(SHGetFolderPathW(nullptr, CSIDL_STARTMENU, nullptr, 0, startMenu), S_OK);
        RecordingFrontEnd frontEnd;
        EXPECT_TRUE(uninstall(frontEnd));
    }
    SetCurrentDirectoryW(previous);
    EXPECT_TRUE(fileExists(decoyFolder + L"\\Lexmora.lnk"));
    EXPECT_FALSE(exists(paths.installFolder)) << "the rest still runs";
    EXPECT_FALSE(keyExists(kUninstallKey));
    EXPECT_TRUE(fileExists(paths.programShortcut)) << "the real Start menu was not reachable";
    DeleteFileW((decoyFolder + L"\\Lexmora.lnk").c_str());
    if (decoyIsNew) RemoveDirectoryW(decoyFolder.c_str());
}

// The guard: folders that an entry may name but that are not an installation of ours.
class InstallLocationGuard : public UninstallSequence {
protected:
    // Plants an installation where the install puts it, with the entry naming another folder,
    // runs the uninstall and checks that our installation went, whatever the entry said; the
    // other folder's autostart value stays with it.
    void uninstallNaming(const std::wstring& folder) {
        ASSERT_TRUE(plantInstallation(installerProgram));
        writeValue(kUninstallKey, L"InstallLocation", folder);
        std::wstring program = folder;
        if (program.back() == L'\\') program.pop_back();
        program += L"\\lexmora.exe";
        writeValue(kRunKey, L"Lexmora there", program);
        RecordingFrontEnd frontEnd;
        EXPECT_TRUE(uninstall(frontEnd));
        EXPECT_EQ(frontEnd.statuses.size(), 2u);
        EXPECT_FALSE(exists(paths.installFolder));
        expectRestRemoved(paths.program);
        EXPECT_TRUE(readString(kRunKey, L"Lexmora there").has_value()) << "another folder's program is not ours";
        deleteValue(kRunKey, L"Lexmora there");
    }

    static LocationVerdict verdict(const std::wstring& location) {
        std::string folder;
        return checkInstallLocation(narrow(location), folder);
    }
};

TEST_F(InstallLocationGuard, KnowsTheFoldersOfThisMachine) {
    EXPECT_EQ(verdict(paths.installFolder), LocationVerdict::Missing) << "before it exists";
    ASSERT_TRUE(plantInstallation(installerProgram));
    EXPECT_EQ(verdict(paths.installFolder), LocationVerdict::Removable);
    for (const int csidl : {CSIDL_PROFILE, CSIDL_LOCAL_APPDATA, CSIDL_APPDATA, CSIDL_DESKTOPDIRECTORY,
                            CSIDL_PERSONAL, CSIDL_STARTMENU, CSIDL_PROGRAM_FILES, CSIDL_WINDOWS, CSIDL_SYSTEM,
                            CSIDL_COMMON_APPDATA}) {
        wchar_t folder[MAX_PATH] = {};
        ASSERT_EQ(SHGetFolderPathW(nullptr, csidl, nullptr, 0, folder), S_OK) << csidl;
        EXPECT_NE(verdict(folder), LocationVerdict::Removable) << narrow(folder);
    }
    EXPECT_EQ(verdict(paths.profile + L"\\.."), LocationVerdict::ProtectedFolder) << "holds every profile";
    EXPECT_EQ(verdict(L"C:\\"), LocationVerdict::VolumeRoot);
    EXPECT_EQ(verdict(L"c:/"), LocationVerdict::VolumeRoot);
    EXPECT_EQ(verdict(L"Apps\\Lexmora 3"), LocationVerdict::NotAbsolute);
    EXPECT_EQ(verdict(L"\\Apps\\Lexmora 3"), LocationVerdict::NotAbsolute);
}

TEST_F(InstallLocationGuard, TheUsersProfileIsNeverDeleted) {
    // Even with our uninstaller in it, which would make any other folder pass.
    const std::wstring planted = paths.profile + L"\\uninstall.exe";
    ASSERT_TRUE(writeFile(planted, "not really"));
    ASSERT_TRUE(writeFile(paths.profile + L"\\lexmora-guard-sentinel.txt", "mine"));
    ASSERT_EQ(verdict(paths.profile), LocationVerdict::ProtectedFolder) << "stop before anything is deleted";

    uninstallNaming(paths.profile);

    EXPECT_TRUE(fileExists(paths.profile + L"\\lexmora-guard-sentinel.txt"));
    EXPECT_TRUE(fileExists(planted));
    EXPECT_TRUE(folderExists(paths.localAppData));
    DeleteFileW(planted.c_str());
    DeleteFileW((paths.profile + L"\\lexmora-guard-sentinel.txt").c_str());
}

TEST_F(InstallLocationGuard, ADriveRootIsNeverDeleted) {
    TemporaryFolder drive;
    ASSERT_TRUE(writeFile(drive / L"lexmora.exe", "looks like ours"));
    ASSERT_TRUE(writeFile(drive / L"Budget.xlsx", "mine"));
    wchar_t letter = 0;
    for (wchar_t candidate = L'Q'; candidate <= L'Y' && letter == 0; ++candidate) {
        if (makeDrive(candidate, drive.path())) letter = candidate;
    }
    if (letter == 0) GTEST_SKIP() << "no drive letter can be made here";
    const std::wstring root = std::wstring(1, letter) + L":\\";
    ASSERT_TRUE(fileExists(root + L"Budget.xlsx"));
    ASSERT_EQ(verdict(root), LocationVerdict::VolumeRoot) << "stop before anything is deleted";

    uninstallNaming(root);

    EXPECT_TRUE(fileExists(root + L"Budget.xlsx"));
    EXPECT_TRUE(fileExists(root + L"lexmora.exe"));
    removeDrive(letter);
}

TEST_F(InstallLocationGuard, AFolderOfUserFilesWithoutTheProgramIsNeverDeleted) {
    TemporaryFolder temp;
    const std::wstring photos = temp / L"Holiday photos";
    ASSERT_TRUE(CreateDirectoryW(photos.c_str(), nullptr));
    ASSERT_TRUE(writeFile(photos + L"\\beach.jpg", "mine"));
    ASSERT_TRUE(writeFile(photos + L"\\lexmora.exe.bak", "not the program"));
    ASSERT_TRUE(CreateDirectoryW((photos + L"\\lexmora.exe").c_str(), nullptr)) << "a folder by that name";

    uninstallNaming(photos);

    EXPECT_TRUE(fileExists(photos + L"\\beach.jpg"));
    EXPECT_TRUE(folderExists(photos + L"\\lexmora.exe"));
}

TEST_F(InstallLocationGuard, ARelativePathIsNeverResolved) {
    // Relative to the current folder it would name a folder that holds our uninstaller and a
    // user's file; an entry never holds that, and our own folder goes instead.
    TemporaryFolder current;
    const std::wstring there = current / L"Apps\\Lexmora 3";
    ASSERT_TRUE(CreateDirectoryW((current / L"Apps").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(there.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(installerProgram.c_str(), (there + L"\\uninstall.exe").c_str(), FALSE));
    ASSERT_TRUE(writeFile(there + L"\\mine.txt", "mine"));
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(current.path().c_str()));
    uninstallNaming(L"Apps\\Lexmora 3");
    SetCurrentDirectoryW(previous);
    EXPECT_TRUE(fileExists(there + L"\\mine.txt"));
    EXPECT_TRUE(fileExists(there + L"\\uninstall.exe"));
}

TEST_F(InstallLocationGuard, AFolderThatLeadsIntoTheProfileIsNeverDeleted) {
    // A link whose own name looks harmless, like "C:\Documents and Settings\<user>" on Windows.
    TemporaryFolder temp;
    const std::wstring link = temp / L"Lexmora 3";
    if (!makeFolderLink(link, paths.profile)) GTEST_SKIP() << "no folder link can be made here";
    const std::wstring planted = paths.profile + L"\\uninstall.exe";
    ASSERT_TRUE(writeFile(planted, "not really"));
    ASSERT_TRUE(fileExists(link + L"\\uninstall.exe"));
    ASSERT_EQ(verdict(link), LocationVerdict::ProtectedFolder) << "stop before anything is deleted";

    uninstallNaming(link);

    EXPECT_TRUE(fileExists(planted));
    EXPECT_TRUE(folderExists(paths.localAppData));
    DeleteFileW(planted.c_str());
    removeFolderLink(link);
}

}  // namespace
}  // namespace swiftsetup
