#pragma once
// Work folders on the machine (remove/work_folder_rules.h): beside an installation folder, on the
// same drive, recorded in the registry before they exist and marked inside, so that a run cut
// off part way leaves nothing the next run cannot recognise as its own and remove.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "machine/installation_folder/work_folder_rules.h"

namespace swiftsetup {

class WorkFolder {
public:
    WorkFolder() = default;
    WorkFolder(WorkFolder&& other) noexcept;
    WorkFolder& operator=(WorkFolder&& other) noexcept;
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    // A work folder still in hand when its owner goes is left as it is, recorded, for the next
    // run to remove: a run that ends without saying what became of it was cut off.
    ~WorkFolder() = default;

    // A new, empty folder of this kind beside folder, recorded and marked. valid() tells whether
    // it was made, error() why not.
    [[nodiscard]] static WorkFolder create(const std::string& folder, WorkFolderKind kind);

    // A new name beside folder, recorded, for folder itself to be moved to: folder gets the
    // marker first, so that it arrives marked. Should the move fail, abandon() takes the marker and
    // the record back.
    [[nodiscard]] static WorkFolder reserveFor(const std::string& folder);
    void abandon(const std::string& folder);

    // The folder is no work folder any more (the staged version moved into place at newPath):
    // its marker there and its record go.
    void becomes(const std::string& newPath);

    // Deletes the folder and everything in it, as far as it can now; the record goes once nothing
    // is left, otherwise it stays for a later run. True when nothing is left.
    [[nodiscard]] bool remove();

    [[nodiscard]] bool valid() const { return !path_.empty(); }
    [[nodiscard]] uint32_t error() const { return error_; }
    const std::string& path() const { return path_; }

private:
    // The record goes, and the marker in markedFolder.
    void release(const std::string& markedFolder);

    std::string path_;
    uint32_t error_ = 0;
};

// A work folder for entries moved out of the way to be deleted, beside a folder: made when the
// first entry needs it, with a new name in it for every entry.
class AsideFolder {
public:
    explicit AsideFolder(std::string beside) : beside_(std::move(beside)) {}
    // A new path in the folder; empty when the folder cannot be made.
    [[nodiscard]] std::string nextName();
    WorkFolder& folder() { return folder_; }

private:
    std::string beside_;
    WorkFolder folder_;
    bool tried_ = false;
    uint64_t names_ = 0;
};

// Removes every recorded work folder that an earlier run left and that proves ours, and drops
// the records of folders that are gone or not provably ours (those are left alone). Runs before
// a run changes anything, under the lock, so no other run of ours is using them.
struct LeftoverWorkFolders {
    std::vector<std::string> removed;
    std::vector<std::string> kept;       // ours, but something in them is still held: next time
    std::vector<std::string> notOurs;    // recorded, but not provably ours: left alone
};
[[nodiscard]] LeftoverWorkFolders removeLeftoverWorkFolders();

}  // namespace swiftsetup
