// The path reasoning that decides whether an uninstall entry's folder may be deleted.
#include "machine/installation_folder/location_guard.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "machine/autostart_match.h"
#include "machine/installation_folder/work_folder_rules.h"

namespace swiftsetup {
namespace {

std::string canonical(const std::string& path) {
    return canonicalFolderPath(path).value_or("<refused>");
}

TEST(CanonicalFolderPath, WritesEveryPathOfOneFolderTheSameWay) {
    const std::string expected = "C:\\Users\\bo\\AppData\\Local\\Apps\\Lexmora 3";
    for (const char* spelling : {
             "C:\\Users\\bo\\AppData\\Local\\Apps\\Lexmora 3",
             "C:\\Users\\bo\\AppData\\Local\\Apps\\Lexmora 3\\",
             "C:\\Users\\bo\\AppData\\Local\\Apps\\Lexmora 3\\\\\\",
             "C:/Users/bo/AppData/Local/Apps/Lexmora 3/",
             "C:\\Users\\\\bo\\.\\AppData\\Local\\Temp\\..\\Apps\\Lexmora 3",
             "C:\\Users\\bo\\AppData\\Local\\Apps\\Lexmora 3\\sub\\..",
             "\\\\?\\C:\\Users\\bo\\AppData\\Local\\Apps\\Lexmora 3",
         }) {
        EXPECT_EQ(canonical(spelling), expected) << spelling;
    }
    EXPECT_EQ(canonical("c:\\users\\BO"), "c:\\users\\BO") << "letter case is the caller's";
}

TEST(CanonicalFolderPath, DrivesAndSharesKeepTheirRoots) {
    EXPECT_EQ(canonical("C:\\"), "C:\\");
    EXPECT_EQ(canonical("C:/"), "C:\\");
    EXPECT_EQ(canonical("C:\\.."), "C:\\") << "above the root stays at the root";
    EXPECT_EQ(canonical("C:\\Users\\..\\..\\.."), "C:\\");
    EXPECT_EQ(canonical("\\\\?\\D:\\"), "D:\\");
    EXPECT_EQ(canonical("\\\\server\\share"), "\\\\server\\share");
    EXPECT_EQ(canonical("\\\\server\\share\\"), "\\\\server\\share");
    EXPECT_EQ(canonical("//server/share/apps/../x"), "\\\\server\\share\\x");
    EXPECT_EQ(canonical("\\\\server\\share\\.."), "\\\\server\\share");
    EXPECT_EQ(canonical("\\\\?\\UNC\\server\\share\\apps"), "\\\\server\\share\\apps");
}

TEST(CanonicalFolderPath, RefusesWhatDoesNotNameOneFolderOnItsOwn) {
    for (const char* path : {
             "", "Lexmora 3", ".\\Lexmora 3", "..\\..", "Apps\\Lexmora 3", "\\Apps\\Lexmora 3",
             "/Apps", "C:", "C:Apps", "1:\\x", "\\\\server", "\\\\server\\", "\\\\.\\C:\\x",
             "\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1", "\\\\.\\pipe\\x", "\\??\\C:\\x",
             // Names Windows would read differently from the way they are written.
             "C:\\Users.", "C:\\Users\\bo.\\AppData", "C:\\Users\\bo \\x", "C:\\x\\...",
             "C:\\x\\folder::$INDEX_ALLOCATION", "C:\\x:stream", "C:\\x\\*", "C:\\x\\a?b",
             "C:\\x\\a\"b", "C:\\x\\a<b", "C:\\x\\a|b", "C:\\x\\a\tb",
         }) {
        EXPECT_EQ(canonicalFolderPath(path), std::nullopt) << path;
    }
}

TEST(CanonicalFolderPath, KeepsNamesThatMerelyContainDots) {
    EXPECT_EQ(canonical("C:\\x\\..hidden\\.config\\a.b"), "C:\\x\\..hidden\\.config\\a.b");
    EXPECT_EQ(canonical("C:\\Program Files (x86)\\Æøå"), "C:\\Program Files (x86)\\Æøå");
}

TEST(VolumeRootsAndContainment, CompareWholeNamesOnly) {
    EXPECT_TRUE(isVolumeRoot("C:\\"));
    EXPECT_TRUE(isVolumeRoot("\\\\server\\share"));
    EXPECT_FALSE(isVolumeRoot("C:\\x"));
    EXPECT_FALSE(isVolumeRoot("\\\\server\\share\\x"));

    EXPECT_TRUE(isSameOrBelow("C:\\Users\\bo", "C:\\Users\\bo"));
    EXPECT_TRUE(isSameOrBelow("C:\\Users\\bo\\Desktop", "C:\\Users\\bo"));
    EXPECT_TRUE(isSameOrBelow("C:\\Users", "C:\\"));
    EXPECT_FALSE(isSameOrBelow("C:\\Users\\bob", "C:\\Users\\bo")) << "a longer name is another folder";
    EXPECT_FALSE(isSameOrBelow("C:\\Users", "C:\\Users\\bo"));
    EXPECT_FALSE(isSameOrBelow("D:\\Users", "C:\\"));
}

// Facts of a typical user, folded as the Windows side folds them (here: ASCII letters).
LocationFacts factsFor(const std::string& location, bool holdsOurUninstaller) {
    auto fold = [](const std::string& path) { return lowerAscii(canonicalFolderPath(path).value()); };
    LocationFacts facts;
    facts.location = fold(location);
    facts.holdsOurUninstaller = holdsOurUninstaller;
    facts.ownInstallFolder = fold("C:\\Users\\Bo\\AppData\\Local\\Apps\\Lexmora 3");
    for (const char* known : {"C:\\Users\\Bo", "C:\\Users\\Bo\\AppData\\Local", "C:\\Users\\Bo\\AppData\\Roaming",
                              "C:\\Users\\Bo\\Desktop", "D:\\Docs", "C:\\Program Files", "C:\\Windows",
                              "C:\\Users\\Bo\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"}) {
        facts.protectedFolders.push_back(fold(known));
    }
    return facts;
}

TEST(JudgeInstallLocation, OurOwnFolderAlwaysPasses) {
    EXPECT_EQ(judgeInstallLocation(factsFor("C:\\Users\\Bo\\AppData\\Local\\Apps\\Lexmora 3", false)),
              LocationVerdict::Removable);
    EXPECT_EQ(judgeInstallLocation(factsFor("c:/users/bo/appdata/local/apps/LEXMORA 3/", false)),
              LocationVerdict::Removable);
}

TEST(JudgeInstallLocation, AnotherFolderPassesOnlyWithOurUninstallerInIt) {
    EXPECT_EQ(judgeInstallLocation(factsFor("E:\\Tools\\Lexmora", true)), LocationVerdict::Removable);
    EXPECT_EQ(judgeInstallLocation(factsFor("E:\\Tools\\Lexmora", false)), LocationVerdict::NotAnInstallation);
    EXPECT_EQ(judgeInstallLocation(factsFor("C:\\Users\\Bo\\Holiday photos", false)),
              LocationVerdict::NotAnInstallation);
}

TEST(JudgeInstallLocation, RootsAndKnownFoldersAreRefusedEvenWithOurProgramInThem) {
    for (const char* root : {"C:\\", "d:/", "C:\\Users\\..", "\\\\nas\\home"}) {
        EXPECT_EQ(judgeInstallLocation(factsFor(root, true)), LocationVerdict::VolumeRoot) << root;
    }
    for (const char* folder : {"C:\\Users\\Bo", "c:\\users\\bo\\", "C:\\Users", "C:\\Users\\Bo\\AppData",
                               "C:\\USERS\\BO\\APPDATA\\LOCAL", "C:\\Users\\Bo\\AppData\\Local\\Apps\\..",
                               "C:\\Users\\Bo\\Desktop", "D:\\Docs", "C:\\Program Files", "C:\\Windows",
                               "C:\\Users\\Bo\\AppData\\Roaming\\Microsoft"}) {
        EXPECT_EQ(judgeInstallLocation(factsFor(folder, true)), LocationVerdict::ProtectedFolder) << folder;
    }
    // Below a known folder is fine: that is where per-user programs live.
    EXPECT_EQ(judgeInstallLocation(factsFor("C:\\Users\\Bo\\Desktop\\Lexmora", true)), LocationVerdict::Removable);
}

TEST(JudgeInstallLocation, TheResolvedFormCountsToo) {
    // "C:\Documents and Settings\Bo" is a junction to the profile: only its target gives it away.
    LocationFacts facts = factsFor("C:\\Documents and Settings\\Bo", true);
    EXPECT_EQ(judgeInstallLocation(facts), LocationVerdict::Removable);
    facts.resolvedForms.push_back(lowerAscii("C:\\Users\\Bo"));
    EXPECT_EQ(judgeInstallLocation(facts), LocationVerdict::ProtectedFolder);
    facts.resolvedForms = {"z:\\"};
    EXPECT_EQ(judgeInstallLocation(facts), LocationVerdict::VolumeRoot);
}

TEST(JudgeInstallLocation, NoLocationIsNoFolder) {
    LocationFacts facts;
    EXPECT_EQ(judgeInstallLocation(facts), LocationVerdict::NotAbsolute);
}

TEST(JudgeInstallLocation, SharesAndFoldersWhoseLinksCannotBeFollowedAreRefused) {
    // A share that maps onto the profile cannot be seen through: on one, only the folder the
    // install uses passes (local application data on a share), and only by the install's name.
    LocationFacts facts = factsFor("N:\\AppData\\Local\\Apps\\Lexmora 3", true);
    facts.onNetwork = true;
    EXPECT_EQ(judgeInstallLocation(facts), LocationVerdict::Network) << "our uninstaller in it proves nothing";
    facts.ownInstallFolderAsNamed = lowerAscii("N:\\AppData\\Local\\Apps");
    EXPECT_EQ(judgeInstallLocation(facts), LocationVerdict::Network) << "the folder above ours";
    facts.ownInstallFolderAsNamed = facts.location;
    EXPECT_EQ(judgeInstallLocation(facts), LocationVerdict::Removable);
    facts = factsFor("C:\\Users\\Bo\\AppData\\Local\\Apps\\Lexmora 3", true);
    facts.unresolvable = true;
    EXPECT_EQ(judgeInstallLocation(facts), LocationVerdict::Unresolvable);
    // Our folder reached under another name passes when it resolves to ours.
    facts = factsFor("E:\\Mirror", false);
    facts.resolvedForms.push_back(facts.ownInstallFolder);
    EXPECT_EQ(judgeInstallLocation(facts), LocationVerdict::Removable);
}

}  // namespace
}  // namespace swiftsetup

namespace swiftsetup {
namespace {

// A folder an earlier run of ours worked in is known by its record and its marker, never by its
// name alone.
TEST(WorkFolderRules, OnlyARecordedMarkedFolderOfOurNamingIsRemoved) {
    const std::string folder = "C:\\Users\\bo\\AppData\\Local\\Apps\\Lexmora 3";
    const std::string staging = workFolderPath(folder, WorkFolderKind::Staging, 0x1f2e3d4c);
    EXPECT_EQ(staging, folder + ".new-1f2e3d4c");
    EXPECT_EQ(workFolderPath(folder, WorkFolderKind::Aside, 7), folder + ".old-00000007");
    for (const std::string& name : {folder, folder + ".new-1f2e3d4", folder + ".new-1F2E3D4C", folder + ".tmp-1f2e3d4c",
                                    std::string("C:\\.new-1f2e3d4c"), folder + ".new-1f2e3d4c\\x", folder + "\\.new-12345678",
                                    folder + ".new-1f2e3d4c\\..\\..\\Documents"}) {
        EXPECT_FALSE(isWorkFolderPath(name)) << name;
    }
    EXPECT_TRUE(isWorkFolderPath(staging));
    const WorkFolderFacts ours{staging, "AB12", true, false, false, workFolderMarkerText("AB12")};
    EXPECT_EQ(judgeWorkFolder(ours), WorkFolderVerdict::Remove);
    auto changed = [&](auto change) {
        WorkFolderFacts facts = ours;
        change(facts);
        return judgeWorkFolder(facts);
    };
    EXPECT_EQ(changed([](WorkFolderFacts& f) { f.marker = std::nullopt; }), WorkFolderVerdict::Forget);
    EXPECT_EQ(changed([](WorkFolderFacts& f) { f.marker = workFolderMarkerText("AB13"); }), WorkFolderVerdict::Forget);
    EXPECT_EQ(changed([](WorkFolderFacts& f) { f.recordedToken.clear(); f.marker = workFolderMarkerText(""); }),
              WorkFolderVerdict::Forget);
    EXPECT_EQ(changed([](WorkFolderFacts& f) { f.isLink = true; }), WorkFolderVerdict::Forget);
    EXPECT_EQ(changed([](WorkFolderFacts& f) { f.isFolder = false; }), WorkFolderVerdict::Forget);
    EXPECT_EQ(changed([&](WorkFolderFacts& f) { f.recordedPath = folder; }), WorkFolderVerdict::Forget)
        << "the installation folder itself is never a work folder";
    EXPECT_EQ(changed([](WorkFolderFacts& f) { f.recordedPath = "C:\\Users\\bo\\Documents"; }), WorkFolderVerdict::Forget);
    EXPECT_EQ(changed([](WorkFolderFacts& f) { f.marker = std::nullopt; f.isEmpty = true; }), WorkFolderVerdict::Remove)
        << "an empty folder loses nothing";
}

}  // namespace
}  // namespace swiftsetup
