#include "remove/work_folders.h"

#include <windows.h>
#include <objbase.h>

#include <optional>
#include <utility>
#include <vector>

#include "install/product.h"
#include "platform/file_moves.h"
#include "platform/handles.h"
#include "platform/registry_key.h"
#include "platform/text_conversion.h"
#include "remove/guid_packing.h"
#include "remove/tree_claim.h"
#include "text/digits.h"

namespace swiftsetup {
namespace {

constexpr int kNameAttempts = 16;
constexpr DWORD kLongestMarker = 256;

RegistryKey records(KeyAccess access) { return currentUser().open(product::kWorkFoldersKey, access); }

// The record goes with its folder; the key goes with its last record, and its parent (ours
// alone) with it.
void dropRecord(const std::string& path) {
    const RegistryKey key = records(KeyAccess::ReadWrite);
    key.deleteValue(path);
    if (key.isValid() && key.valueNames().empty()) {
        currentUser().deleteSubKey(product::kWorkFoldersKey);
        currentUser().deleteSubKey(product::kWorkFoldersParentKey);
    }
}

// Deletes the folder as far as it can now; the record goes once nothing is left.
bool removeWithRecord(const std::string& path) {
    removeTreeAsFarAsPossible(path);
    if (entryExists(path)) return false;
    dropRecord(path);
    return true;
}

// A fresh token, and a tag for the folder's name from the same random bytes.
std::optional<std::pair<std::string, uint32_t>> newToken() {
    GUID guid{};
    if (FAILED(CoCreateGuid(&guid))) return std::nullopt;
    Guid bytes;
    static_assert(sizeof(guid) == sizeof(bytes.bytes));
    memcpy(bytes.bytes.data(), &guid, sizeof(guid));
    return std::make_pair(packGuid(bytes), static_cast<uint32_t>(guid.Data1));
}

uint32_t writeMarker(const std::string& folder, const std::string& token) {
    UniqueHandle file(CreateFileW(utf8ToWide(folder + kWorkFolderMarker).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr));
    if (!file) return GetLastError();
    const std::string text = workFolderMarkerText(token);
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) return GetLastError();
    if (written != text.size()) return ERROR_DISK_FULL;
    return CloseHandle(file.release()) ? ERROR_SUCCESS : GetLastError();
}

void deleteMarker(const std::string& folder) {
    const WideBuffer marker = utf8ToWide(folder + kWorkFolderMarker);
    SetFileAttributesW(marker.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(marker.c_str());
}

std::optional<std::string> readMarker(const std::string& folder) {
    UniqueHandle file(CreateFileW(utf8ToWide(folder + kWorkFolderMarker).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return std::nullopt;
    char text[kLongestMarker];
    DWORD read = 0;
    if (!ReadFile(file.get(), text, kLongestMarker, &read, nullptr)) return std::nullopt;
    return std::string(text, read);
}

bool isEmptyFolder(const std::string& folder) {
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW(utf8ToWide(folder + "\\*").c_str(), &found));
    if (!search) return false;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") return false;
    } while (FindNextFileW(search.get(), &found));
    return true;
}

WorkFolderFacts factsAbout(const std::string& path, const std::string& token) {
    WorkFolderFacts facts;
    facts.recordedPath = path;
    facts.recordedToken = token;
    const DWORD attributes = GetFileAttributesW(utf8ToWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return facts;
    facts.isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!facts.isFolder || facts.isLink) return facts;
    facts.isEmpty = isEmptyFolder(path);
    facts.marker = readMarker(path);
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
            error = ERROR_ACCESS_DENIED;
            return std::nullopt;
        }
        token = fresh->first;
        return path;
    }
    error = ERROR_ALREADY_EXISTS;
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
        if (!CreateDirectoryW(utf8ToWide(*path).c_str(), nullptr)) {
            work.error_ = GetLastError();
            dropRecord(*path);
            if (work.error_ == ERROR_ALREADY_EXISTS) continue;
            return work;
        }
        work.error_ = writeMarker(*path, token);
        if (work.error_ != ERROR_SUCCESS) {
            RemoveDirectoryW(utf8ToWide(*path).c_str());
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
    if (work.error_ != ERROR_SUCCESS) {
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
    std::vector<std::pair<std::string, std::string>> recorded;  // path, token
    {
        const RegistryKey key = records(KeyAccess::Read);
        for (const std::string& path : key.valueNames()) recorded.emplace_back(path, key.queryString(path));
    }
    for (const auto& [path, token] : recorded) {
        const WorkFolderFacts facts = factsAbout(path, token);
        if (judgeWorkFolder(facts) == WorkFolderVerdict::Remove) {
            if (removeWithRecord(path)) {
                leftovers.removed.push_back(path);
            } else {
                leftovers.kept.push_back(path);  // next time
            }
            continue;
        }
        if (facts.isFolder || facts.isLink) leftovers.notOurs.push_back(path);
        dropRecord(path);
    }
    return leftovers;
}

}  // namespace swiftsetup
