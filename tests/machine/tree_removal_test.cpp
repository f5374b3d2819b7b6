// Installer::removeTree on real folder trees that the tests build in the prefix.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/installer.h"
#include "machine/tree_claim.h"
#include "tests/support/product_state.h"
#include "tests/support/recording_front_end.h"
#include "tests/machine/unix_links.h"
#include "tests/support/test_support.h"
#include "ui/dummy_logger.h"

namespace swiftsetup {
namespace {

using testsupport::fileExists;
using testsupport::folderExists;
using testsupport::narrow;
using testsupport::TemporaryFolder;
using testsupport::writeFile;

// Claims the tree and removes it as the uninstall does, 0 to 100 of 100, and returns what the
// front end saw.
RecordingFrontEnd removeTree(const std::wstring& root, uint32_t first = 0, uint32_t last = 100,
                             uint32_t total = 100) {
    RecordingFrontEnd frontEnd;
    Installer installer;
    installer.frontEnd = &frontEnd;
    TreeClaim claim = claimTree(narrow(root), "", GetTickCount64());
    EXPECT_FALSE(claim.held().has_value()) << claim.held()->path;
    (void)installer.removeTree(claim, first, last, total);  // each test judges what stayed
    return frontEnd;
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(RemoveTree, OneFileTakesTwoEvenSteps) {
    TemporaryFolder temp;
    const std::wstring root = temp / L"root";
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(writeFile(root + L"\\only.txt", "x"));

    const RecordingFrontEnd seen = removeTree(root);

    EXPECT_EQ(seen.progress, (std::vector<std::pair<uint32_t, uint32_t>>{{50, 100}, {100, 100}}));
    EXPECT_FALSE(exists(root));
}

TEST(RemoveTree, ThreeFilesAndTwoFoldersDeepestFirst) {
    TemporaryFolder temp;
    const std::wstring root = temp / L"root";
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((root + L"\\sub").c_str(), nullptr));
    ASSERT_TRUE(writeFile(root + L"\\top.txt", "1"));
    ASSERT_TRUE(writeFile(root + L"\\sub\\deep1.txt", "2"));
    ASSERT_TRUE(writeFile(root + L"\\sub\\deep2.txt", "3"));

    // Watch the order: when the first step is reported, only the first file may be gone, and it
    // must be one of the deep ones.
    struct OrderWatch final : Interface {
        std::wstring root;
        std::vector<uint32_t> positions;
        std::vector<bool> topPresent, subPresent, deepPresent;
        void finish() override {}
        void setStatus(const std::string&) override {}
        void setProgress(uint32_t position, uint32_t total) override {
            EXPECT_EQ(total, 100u);
            positions.push_back(position);
            topPresent.push_back(exists(root + L"\\top.txt"));
            subPresent.push_back(exists(root + L"\\sub"));
            deepPresent.push_back(exists(root + L"\\sub\\deep1.txt") && exists(root + L"\\sub\\deep2.txt"));
        }
        void showWarning(const std::string&, const std::string&) override {}
        void showError(const std::string&, const std::string&) override {}
        void showInformation(const std::string&, const std::string&) override {}
        bool askYesNo(const std::string&, const std::string&) override { return false; }
        bool askRetryCancel(const std::string&, const std::string&) override { return false; }
        bool install(Logger&) override { return false; }
        bool uninstall(Logger&) override { return false; }
    } watch;
    watch.root = root;
    Installer installer;
    installer.frontEnd = &watch;
    TreeClaim claim = claimTree(narrow(root), "", GetTickCount64());
    EXPECT_TRUE(installer.removeTree(claim, 0, 100, 100).empty());

    EXPECT_EQ(watch.positions, (std::vector<uint32_t>{20, 40, 60, 80, 100}));
    EXPECT_EQ(watch.topPresent, (std::vector<bool>{true, true, false, false, false})) << "root file after deep ones";
    EXPECT_EQ(watch.deepPresent, (std::vector<bool>{false, false, false, false, false}));
    EXPECT_EQ(watch.subPresent, (std::vector<bool>{true, true, true, false, false})) << "subfolder before root";
    EXPECT_FALSE(exists(root));
}

TEST(RemoveTree, ReadOnlyHiddenAndSystemFilesAndFoldersGoToo) {
    TemporaryFolder temp;
    const std::wstring root = temp / L"root";
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((root + L"\\locked folder").c_str(), nullptr));
    ASSERT_TRUE(writeFile(root + L"\\read-only.dll", "r"));
    ASSERT_TRUE(writeFile(root + L"\\hidden.dat", "h"));
    ASSERT_TRUE(writeFile(root + L"\\locked folder\\system.bin", "s"));
    ASSERT_TRUE(SetFileAttributesW((root + L"\\read-only.dll").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW((root + L"\\hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(SetFileAttributesW((root + L"\\locked folder\\system.bin").c_str(),
                                   FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW((root + L"\\locked folder").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW(root.c_str(), FILE_ATTRIBUTE_HIDDEN));

    const RecordingFrontEnd seen = removeTree(root);

    EXPECT_EQ(seen.positions(), (std::vector<uint32_t>{20, 40, 60, 80, 100}));
    EXPECT_FALSE(exists(root));
}

// A file that another program holds, without sharing or loaded as a library, keeps the whole
// tree: the claim names the first one, once its short wait is over, and nothing has changed.
TEST(RemoveTree, AFileInUseKeepsTheWholeTree) {
    TemporaryFolder temp;
    const std::wstring root = temp / L"root";
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((root + L"\\bin").c_str(), nullptr));
    ASSERT_TRUE(writeFile(root + L"\\bin\\busy.txt", "busy"));
    ASSERT_TRUE(writeFile(root + L"\\readme.txt", "readme"));
    ASSERT_TRUE(SetFileAttributesW((root + L"\\readme.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CopyFileW(testsupport::besideModule(L"exit_with_code.exe").c_str(), (root + L"\\bin\\plugin.dll").c_str(), FALSE));
    const auto before = testsupport::contentsBelow(root);
    // A loaded library refuses write access, as the system refuses to change a running image.
    const std::pair<const wchar_t*, DWORD> holds[] = {{L"busy.txt", ERROR_SHARING_VIOLATION}, {L"plugin.dll", ERROR_SHARING_VIOLATION}};
    for (const auto& [name, error] : holds) {
        SCOPED_TRACE(narrow(name));
        const std::wstring held = root + L"\\bin\\" + name;
        HANDLE file = INVALID_HANDLE_VALUE;
        HMODULE library = nullptr;
        if (std::wstring(name) == L"busy.txt") {
            file = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
        } else {
            library = LoadLibraryW(held.c_str());
            ASSERT_NE(library, nullptr);
        }
        const ULONGLONG start = GetTickCount64();
        {
            const TreeClaim claim = claimTree(narrow(root), "", start + 300);
            ASSERT_TRUE(claim.held().has_value());
            EXPECT_EQ(claim.held()->path, narrow(held));
            EXPECT_EQ(claim.held()->error, error);
            EXPECT_EQ(claim.entryCount(), 0u);
        }
        EXPECT_GE(GetTickCount64() - start, 300u) << "held for a moment is waited for";
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        if (library != nullptr) FreeLibrary(library);
        EXPECT_EQ(testsupport::contentsBelow(root), before);
        EXPECT_EQ(GetFileAttributesW((root + L"\\readme.txt").c_str()) & FILE_ATTRIBUTE_READONLY,
                  static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) << "given back as it was";
    }
}

TEST(RemoveTree, AMissingRootIsOneStepToTheEnd) {
    TemporaryFolder temp;
    const RecordingFrontEnd seen = removeTree(temp / L"never made", 10, 90, 200);
    EXPECT_EQ(seen.progress, (std::vector<std::pair<uint32_t, uint32_t>>{{90, 200}}));
    EXPECT_TRUE(folderExists(temp.path()));
}

TEST(RemoveTree, NamesBeginningWithTwoDotsAreOrdinaryNames) {
    TemporaryFolder temp;
    const std::wstring root = temp / L"root";
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((root + L"\\..settings").c_str(), nullptr));
    ASSERT_TRUE(writeFile(root + L"\\..hidden", "1"));
    ASSERT_TRUE(writeFile(root + L"\\..settings\\..x.ini", "2"));
    ASSERT_TRUE(writeFile(root + L"\\.single", "3"));
    // A sibling next to the root, which a walk that took ".." as an entry would reach.
    ASSERT_TRUE(writeFile(temp / L"sibling.txt", "keep"));

    const RecordingFrontEnd seen = removeTree(root);

    EXPECT_EQ(seen.positions(), (std::vector<uint32_t>{20, 40, 60, 80, 100}));
    EXPECT_FALSE(exists(root));
    EXPECT_TRUE(fileExists(temp / L"sibling.txt"));
}

TEST(RemoveTree, DeepTreesAndUnicodeNames) {
    TemporaryFolder temp;
    const std::wstring root = temp / L"r\u00f8d \u65e5\u672c";
    std::wstring folder = root;
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    for (int level = 0; level < 12; ++level) {
        folder += L"\\niveau " + std::to_wstring(level) + L" \u00e6\u00f8\u00e5";
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        ASSERT_TRUE(writeFile(folder + L"\\fil \u00e9.txt", "x"));
    }
    const RecordingFrontEnd seen = removeTree(root);
    EXPECT_EQ(seen.positions().size(), 25u);
    EXPECT_EQ(seen.positions().back(), 100u);
    EXPECT_FALSE(exists(root));
}

// A folder outside the tree, reached from inside it through a link: it and its files survive.
TEST(RemoveTree, ALinkInsideTheTreeIsNeverFollowed) {
    TemporaryFolder temp;
    const std::wstring root = temp / L"root";
    const std::wstring outside = temp / L"outside";
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((root + L"\\sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((outside + L"\\inner").c_str(), nullptr));
    ASSERT_TRUE(writeFile(outside + L"\\precious.doc", "mine"));
    ASSERT_TRUE(writeFile(outside + L"\\inner\\photo.jpg", "mine too"));
    ASSERT_TRUE(writeFile(root + L"\\ours.dll", "ours"));
    if (!removaltest::makeFolderLink(root + L"\\sub\\link", outside)) {
        GTEST_SKIP() << "no folder link can be made here (the listing rule is tested natively)";
    }
    const DWORD linkAttributes = GetFileAttributesW((root + L"\\sub\\link").c_str());
    ASSERT_EQ(linkAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    ASSERT_TRUE(fileExists(root + L"\\sub\\link\\precious.doc")) << "the link leads outside";

    const RecordingFrontEnd seen = removeTree(root);

    EXPECT_TRUE(fileExists(outside + L"\\precious.doc"));
    EXPECT_TRUE(fileExists(outside + L"\\inner\\photo.jpg"));
    EXPECT_EQ(seen.positions().size(), 4u) << "the file, the link, the subfolder and the root";
    EXPECT_FALSE(exists(root + L"\\ours.dll"));
    // Windows removes the link itself, and then the folders; Wine cannot remove a host link.
    if (!removaltest::runningUnderWine()) {
        EXPECT_FALSE(exists(root));
    }
    removaltest::removeFolderLink(root + L"\\sub\\link");
}

TEST(RemoveTree, ALinkAsTheRootIsRemovedAloneIfAtAll) {
    TemporaryFolder temp;
    const std::wstring outside = temp / L"outside";
    ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
    ASSERT_TRUE(writeFile(outside + L"\\precious.doc", "mine"));
    const std::wstring root = temp / L"root-link";
    if (!removaltest::makeFolderLink(root, outside)) {
        GTEST_SKIP() << "no folder link can be made here (the listing rule is tested natively)";
    }
    const RecordingFrontEnd seen = removeTree(root);
    EXPECT_EQ(seen.positions(), (std::vector<uint32_t>{100}));
    EXPECT_TRUE(fileExists(outside + L"\\precious.doc"));
    removaltest::removeFolderLink(root);
}

TEST(RemoveTree, WithoutAFrontEndItStillRemoves) {
    TemporaryFolder temp;
    const std::wstring root = temp / L"root";
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(writeFile(root + L"\\a", "a"));
    Installer installer;
    TreeClaim claim = claimTree(narrow(root), "", GetTickCount64());
    EXPECT_TRUE(installer.removeTree(claim, 0, 100, 100).empty());
    EXPECT_FALSE(exists(root));
}

}  // namespace
}  // namespace swiftsetup
