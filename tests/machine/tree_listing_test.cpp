// The listing phase and the progress arithmetic of a tree removal, against listings made up here.
#include "machine/tree_listing.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace swiftsetup {
namespace {

constexpr uint32_t kFile = 0x20;
constexpr uint32_t kFolder = kAttributeDirectory;
constexpr uint32_t kLink = kAttributeDirectory | kAttributeReparsePoint;
constexpr uint32_t kFileNotFound = 2, kPathNotFound = 3, kAccessDenied = 5;

// A made-up file system: folder path -> its entries. Folders not in the map are not there, unless
// they have an error of their own.
struct FakeTree {
    std::map<std::string, std::vector<DirectoryEntry>> folders;
    std::map<std::string, uint32_t> errors;
    std::vector<std::string> listed;

    FolderLister lister() {
        return [this](const std::string& folder) {
            listed.push_back(folder);
            const auto found = folders.find(folder);
            if (found != folders.end()) return FolderListing{found->second, 0};
            const auto error = errors.find(folder);
            return FolderListing{{}, error == errors.end() ? kPathNotFound : error->second};
        };
    }
};

using Paths = std::vector<std::string>;

TEST(TreeListing, DeletesDeepestFilesFirstAndEveryFolderAfterItsContents) {
    FakeTree tree;
    tree.folders["R"] = {{".", kFolder}, {"..", kFolder}, {"a.txt", kFile}, {"sub", kFolder},
                         {"b.txt", kFile}, {"other", kFolder}};
    tree.folders["R\\sub"] = {{".", kFolder}, {"..", kFolder}, {"deep", kFolder}, {"c.txt", kFile}};
    tree.folders["R\\other"] = {{"d.txt", kFile}};
    tree.folders["R\\sub\\deep"] = {{"e.txt", kFile}};

    const TreeListing listing = listTree("R", false, tree.lister());

    EXPECT_EQ(tree.listed, (Paths{"R", "R\\sub", "R\\other", "R\\sub\\deep"})) << "breadth first";
    EXPECT_EQ(listing.files,
              (Paths{"R\\sub\\deep\\e.txt", "R\\other\\d.txt", "R\\sub\\c.txt", "R\\b.txt", "R\\a.txt"}));
    EXPECT_EQ(listing.folders, (Paths{"R\\sub\\deep", "R\\other", "R\\sub", "R"}));
    EXPECT_EQ(listing.entryCount(), 9u);
}

TEST(TreeListing, OnlyTheExactDotNamesAreSkipped) {
    FakeTree tree;
    tree.folders["R"] = {{".", kFolder}, {"..", kFolder}, {"..hidden", kFile}, {"...", kFile},
                         {"..dir", kFolder}, {".x", kFile}};
    tree.folders["R\\..dir"] = {{"..", kFolder}, {"..f", kFile}};
    const TreeListing listing = listTree("R", false, tree.lister());
    EXPECT_EQ(listing.files, (Paths{"R\\..dir\\..f", "R\\.x", "R\\...", "R\\..hidden"}));
    EXPECT_EQ(listing.folders, (Paths{"R\\..dir", "R"}));
}

TEST(TreeListing, LinksToFoldersAreRemovedButNeverEntered) {
    FakeTree tree;
    // Junction, symbolic link, and a reparse point of no known kind (as Wine lists its links);
    // a folder of files kept in the cloud is no link, and is listed like any other.
    tree.folders["R"] = {{"junction", kLink, 0xA0000003}, {"sub", kFolder}, {"f", kFile}, {"cloud", kLink, 0x9000001A}};
    tree.folders["R\\sub"] = {{"symlink", kLink, 0xA000000C}, {"unknown", kLink, 0}};
    tree.folders["R\\cloud"] = {{"synced.doc", kFile | kAttributeReparsePoint, 0x9000001A}};
    // What the links point to: listing them would reach these files.
    tree.folders["R\\junction"] = {{"precious.doc", kFile}};
    tree.folders["R\\sub\\symlink"] = {{"precious.jpg", kFile}};
    tree.folders["R\\sub\\unknown"] = {{"precious.txt", kFile}};

    const TreeListing listing = listTree("R", false, tree.lister());

    EXPECT_EQ(tree.listed, (Paths{"R", "R\\sub", "R\\cloud"}));
    EXPECT_EQ(listing.files, (Paths{"R\\cloud\\synced.doc", "R\\f"}));
    EXPECT_EQ(listing.folders, (Paths{"R\\sub\\unknown", "R\\sub\\symlink", "R\\cloud", "R\\sub", "R\\junction", "R"}))
        << "each link goes before the folder that holds it";
}

// A folder that cannot be listed is never taken for an empty one; a root that is not there is.
// "Path not found" for a folder found in a listing means its path cannot be read, not that it went.
TEST(TreeListing, FoldersThatCannotBeListedAreNamedAndGoneMeansFileNotFound) {
    FakeTree tree;
    tree.folders["R"] = {{"denied", kFolder}, {"too long", kFolder}, {"went", kFolder}};
    tree.errors["R\\denied"] = kAccessDenied;
    tree.errors["R\\too long"] = kPathNotFound;
    tree.errors["R\\went"] = kFileNotFound;
    const TreeListing listing = listTree("R", false, tree.lister());
    ASSERT_EQ(listing.unlisted.size(), 2u);
    EXPECT_EQ(listing.unlisted[0].path, "R\\denied");
    EXPECT_EQ(listing.unlisted[0].error, kAccessDenied);
    EXPECT_EQ(listing.unlisted[1].path, "R\\too long");
    EXPECT_TRUE(listTree("missing", false, tree.lister()).unlisted.empty());
    EXPECT_TRUE(isGoneEntry(kFileNotFound, true));
    EXPECT_FALSE(isGoneEntry(kPathNotFound, true));
    EXPECT_TRUE(isGoneEntry(kPathNotFound, false)) << "a shortcut whose folder is not there";
    EXPECT_FALSE(isGoneEntry(kAccessDenied, false));
}

TEST(TreeListing, ALinkAsRootIsRemovedAlone) {
    FakeTree tree;
    tree.folders["R"] = {{"precious.doc", kFile}};
    const TreeListing listing = listTree("R", true, tree.lister());
    EXPECT_TRUE(tree.listed.empty());
    EXPECT_TRUE(listing.files.empty());
    EXPECT_EQ(listing.folders, (Paths{"R"}));
}

TEST(TreeListing, FileLinksAndOtherAttributesAreFiles) {
    FakeTree tree;
    tree.folders["R"] = {{"file-link", kFile | kAttributeReparsePoint}, {"ro", 0x1}, {"hidden", 0x2 | 0x4}};
    const TreeListing listing = listTree("R", false, tree.lister());
    EXPECT_EQ(listing.files, (Paths{"R\\hidden", "R\\ro", "R\\file-link"}));
}

TEST(TreeListing, AnUnlistableRootIsStillRemovedOnce) {
    FakeTree tree;
    const TreeListing listing = listTree("missing", false, tree.lister());
    EXPECT_TRUE(listing.files.empty());
    EXPECT_EQ(listing.folders, (Paths{"missing"}));
    EXPECT_EQ(listing.entryCount(), 1u);
}

std::vector<uint32_t> positions(uint32_t first, uint32_t last, uint64_t steps) {
    EvenProgress progress(first, last, steps);
    std::vector<uint32_t> result;
    for (uint64_t i = 0; i < steps; ++i) result.push_back(progress.advance());
    return result;
}

TEST(EvenProgress, MovesEvenlyAndEndsExactlyAtTheLastPosition) {
    EXPECT_EQ(positions(0, 100, 1), (std::vector<uint32_t>{100}));
    EXPECT_EQ(positions(0, 100, 2), (std::vector<uint32_t>{50, 100}));
    EXPECT_EQ(positions(0, 100, 5), (std::vector<uint32_t>{20, 40, 60, 80, 100}));
    EXPECT_EQ(positions(0, 100, 3), (std::vector<uint32_t>{33, 66, 100}));
    EXPECT_EQ(positions(10, 20, 4), (std::vector<uint32_t>{12, 15, 17, 20}));
}

TEST(EvenProgress, NeverDecreasesNorOvershootsOnLargeScales) {
    // Sums of this size overflow 32 bits long before the end.
    const uint32_t first = 1000, last = 0xFFFFFFF0u;
    const uint64_t steps = 100003;
    EvenProgress progress(first, last, steps);
    uint32_t previous = first;
    for (uint64_t i = 0; i < steps; ++i) {
        const uint32_t position = progress.advance();
        ASSERT_GE(position, previous);
        ASSERT_LE(position, last);
        previous = position;
    }
    EXPECT_EQ(previous, last);
    EXPECT_EQ(progress.advance(), last) << "extra steps stay at the end";
}

TEST(EvenProgress, ABackwardsRangeStaysAtTheFirstPosition) {
    EXPECT_EQ(positions(100, 0, 2), (std::vector<uint32_t>{100, 100}));
    EXPECT_EQ(positions(7, 7, 3), (std::vector<uint32_t>{7, 7, 7}));
}

}  // namespace
}  // namespace swiftsetup
