#include "machine/installation_folder/work_folders.h"

#include <optional>
#include <utility>
#include <vector>

#include "machine/product.h"
#include "machine/tree_claim.h"
#include "platform/file_facts.h"
#include "platform/file_moves.h"
#include "platform/folder_listing.h"
#include "platform/registry_key.h"
#include "platform/small_files.h"
#include "platform/system_errors.h"
#include "platform/unique_id.h"
#include "text/digits.h"
#include "text/guid_packing.h"

namespace swiftsetup {
namespace {

constexpr int kNameAttempts = 16;
constexpr uint32_t kLongestMarker = 256;

// The records, where this build keeps them or where earlier builds did.
struct RecordPlace {
    const char* key;
    const char* parent;
};
constexpr RecordPlace kRecords{product::kWorkFoldersKey, product::kWorkFoldersParentKey};
constexpr RecordPlace kRoamingRecords{product::kRoamingWorkFoldersKey, product::kRoamingWorkFoldersParentKey};

// The record goes with its folder; the key goes with its last record, and its parent (ours
// alone) with it. What cannot go now (a record already gone is as good) is left for a later run.
void dropRecord(const std::string& path, const RecordPlace& place = kRecords) {
    const RegistryKey key = currentUser().open(place.key, KeyAccess::ReadWrite);
    (void)key.deleteValue(path);
    if (!key.isValid() || !key.valueNames().empty()) return;
    (void)currentUser().deleteSubKey(place.key);
    (void)currentUser().deleteSubKey(place.parent);
}

// Deletes the folder as far as it can now; the record goes once nothing is left.
bool removeWithRecord(const std::string& path, const RecordPlace& place = kRecords) {
    (void)removeTreeAsFarAsPossible(path);  // what stays is looked for below
    if (entryExists(path)) return false;
    dropRecord(path, place);
    return true;
}

// The records of one place: path and token.
std::vector<std::pair<std::string, std::string>> recordsAt(const RecordPlace& place) {
    std::vector<std::pair<std::string, std::string>> recorded;
    const RegistryKey key = currentUser().open(place.key, KeyAccess::Read);
    for (const std::string& path : key.valueNames()) recorded.emplace_back(path, key.queryString(path));
    return recorded;
}

// A fresh token, and a tag for the folder's name from the same random bytes.
std::optional<std::pair<std::string, uint32_t>> newToken() {
    const std::optional<Guid> guid = newGuid();
    if (!guid) return std::nullopt;
    const uint32_t tag = guid->bytes[0] | (guid->bytes[1] << 8) | (guid->bytes[2] << 16) | (uint32_t{guid->bytes[3]} << 24);
    return std::make_pair(packGuid(*guid), tag);
}

uint32_t writeMarker(const std::string& folder, const std::string& token) {
    return writeNewFile(folder + kWorkFolderMarker, workFolderMarkerText(token), true);
}

void deleteMarker(const std::string& folder) { (void)deleteFile(folder + kWorkFolderMarker); }

WorkFolderFacts factsAbout(const std::string& path, const std::string& token) {
    WorkFolderFacts facts;
    facts.recordedPath = path;
    facts.recordedToken = token;
    if (!entryExists(path)) return facts;
    facts.isFolder = folderExists(path);
    facts.isLink = isLink(path);
    if (!facts.isFolder || facts.isLink) return facts;
    facts.isEmpty = isEmptyFolder(path);
    facts.marker = readFileStart(path + kWorkFolderMarker, kLongestMarker);
    return facts;
}

// Records a new name beside folder that nothing has yet; the name, or nothing.
std::optional<std::string> recordNewName(const std::string& folder, WorkFolderKind kind, std::string& token,
                                         uint32_t& error) {
    const RegistryKey key = currentUser().create(product::kWorkFoldersKey, KeyAccess::ReadWrite);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const auto fresh = newToken();
        if (!fresh) break;
        const std::string path = workFolderPath(folder, kind, fresh->second);
        if (entryExists(path)) continue;
        // Without a record, a folder left by a run cut off would never be known for ours: better
        // to make none.
        if (!key.setString(path, fresh->first)) {
            error = error::kAccessDenied;
            return std::nullopt;
        }
        token = fresh->first;
        return path;
    }
    error = error::kAlreadyExists;
    return std::nullopt;
}

}  // namespace

WorkFolder::WorkFolder(WorkFolder&& other) noexcept : path_(std::exchange(other.path_, {})), error_(other.error_) {}

WorkFolder& WorkFolder::operator=(WorkFolder&& other) noexcept {
    if (this != &other) {
        path_ = std::exchange(other.path_, {});
        error_ = other.error_;
    }
    return *this;
}

WorkFolder WorkFolder::create(const std::string& folder, WorkFolderKind kind) {
    WorkFolder work;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string token;
        const std::optional<std::string> path = recordNewName(folder, kind, token, work.error_);
        if (!path) return work;
        // Made here and now, so nothing of anyone else's is in it; a name taken meanwhile is
        // given up and another one tried.
        work.error_ = createNewFolder(*path);
        if (work.error_ != error::kSuccess) {
            dropRecord(*path);
            if (work.error_ == error::kAlreadyExists) continue;
            return work;
        }
        work.error_ = writeMarker(*path, token);
        if (work.error_ != error::kSuccess) {
            (void)removeEmptyFolder(*path);
            dropRecord(*path);
            return work;
        }
        work.path_ = *path;
        return work;
    }
    return work;
}

WorkFolder WorkFolder::reserveFor(const std::string& folder) {
    WorkFolder work;
    std::string token;
    const std::optional<std::string> path = recordNewName(folder, WorkFolderKind::Aside, token, work.error_);
    if (!path) return work;
    deleteMarker(folder);  // one that a run cut off left in the folder
    work.error_ = writeMarker(folder, token);
    if (work.error_ != error::kSuccess) {
        dropRecord(*path);
        return work;
    }
    work.path_ = *path;
    return work;
}

void WorkFolder::abandon(const std::string& folder) { release(folder); }

void WorkFolder::becomes(const std::string& newPath) { release(newPath); }

void WorkFolder::release(const std::string& markedFolder) {
    if (!valid()) return;
    deleteMarker(markedFolder);
    dropRecord(path_);
    path_.clear();
}

bool WorkFolder::remove() {
    if (!valid()) return true;
    if (!removeWithRecord(path_)) return false;
    path_.clear();
    return true;
}

std::string AsideFolder::nextName() {
    if (!folder_.valid() && !tried_) {
        tried_ = true;
        folder_ = WorkFolder::create(beside_, WorkFolderKind::Aside);
    }
    return folder_.valid() ? folder_.path() + "\\" + digitsOf(++names_) : std::string();
}

LeftoverWorkFolders removeLeftoverWorkFolders() {
    LeftoverWorkFolders leftovers;
    for (const RecordPlace* place : {&kRecords, &kRoamingRecords}) {
        for (const auto& [path, token] : recordsAt(*place)) {
            const WorkFolderFacts facts = factsAbout(path, token);
            if (judgeWorkFolder(facts) == WorkFolderVerdict::Remove) {
                if (removeWithRecord(path, *place)) {
                    leftovers.removed.push_back(path);
                    continue;
                }
                leftovers.kept.push_back(path);  // next time
                // A record of an earlier build's moves to where the profile does not roam.
                if (place == &kRoamingRecords &&
                    currentUser().create(product::kWorkFoldersKey, KeyAccess::Write).setString(path, token)) {
                    dropRecord(path, *place);
                }
                continue;
            }
            if (facts.isFolder || facts.isLink) leftovers.notOurs.push_back(path);
            dropRecord(path, *place);
        }
    }
    return leftovers;
}

}  // namespace swiftsetup
