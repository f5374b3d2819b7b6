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

// A made-up file system: folder path -> its entries. Folders not in the map cannot be listed.
struct FakeTree {
    std::map<std::string, std::vector<DirectoryEntry>> folders;
    std::vector<std::string> listed;

    FolderLister lister() {
        return [this](const std::string& folder) {
            listed.push_back(folder);
            const auto found = folders.find(folder);
            return found == folders.end() ? std::vector<DirectoryEntry>{} : found->second;
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
    tree.folders["R"] = {{"link", kLink}, {"sub", kFolder}, {"f", kFile}};
    tree.folders["R\\sub"] = {{"inner-link", kLink}};
    // What the links point to: listing them would reach these files.
    tree.folders["R\\link"] = {{"precious.doc", kFile}};
    tree.folders["R\\sub\\inner-link"] = {{"precious.jpg", kFile}};

    const TreeListing listing = listTree("R", false, tree.lister());

    EXPECT_EQ(tree.listed, (Paths{"R", "R\\sub"}));
    EXPECT_EQ(listing.files, (Paths{"R\\f"}));
    EXPECT_EQ(listing.folders, (Paths{"R\\sub\\inner-link", "R\\sub", "R\\link", "R"}))
        << "each link goes before the folder that holds it";
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
