#include "platform/deletion_handle.h"

#include <utility>

#include "platform/text_conversion.h"

namespace swiftsetup {
namespace {

// Only the attributes that can be set change (as SetFileAttributesW sets them); zero times are
// left as they are.
bool setAttributes(HANDLE handle, DWORD attributes) {
    constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    FILE_BASIC_INFO basic{};
    // Zero would mean "leave them": an entry with none of them is a normal one.
    basic.FileAttributes = (attributes & kSettable) != 0 ? attributes & kSettable : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof(basic)) != FALSE;
}

}  // namespace

DeletionHandle::DeletionHandle(const std::string& path, Kind kind) {
    // Delete access, and the attributes to make a read-only entry deletable. A link is opened
    // itself, never what it leads to.
    constexpr DWORD kAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
    const DWORD sharing = kind == Kind::File ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const DWORD flags = FILE_FLAG_OPEN_REPARSE_POINT | (kind == Kind::Folder ? FILE_FLAG_BACKUP_SEMANTICS : 0);
    handle_.reset(CreateFileW(utf8ToWide(path).c_str(), kAccess, sharing, nullptr, OPEN_EXISTING, flags, nullptr));
    if (!handle_) error_ = GetLastError();
}

DeletionHandle& DeletionHandle::operator=(DeletionHandle&& other) noexcept {
    if (this != &other) {
        giveBack();
        handle_ = std::move(other.handle_);
        error_ = other.error_;
        originalAttributes_ = other.originalAttributes_;
        attributesChanged_ = other.attributesChanged_;
        writable_ = other.writable_;
        marked_ = other.marked_;
    }
    return *this;
}

void DeletionHandle::giveBack() {
    if (!handle_) return;
    if (marked_) markForDeletion(false);
    if (attributesChanged_) setAttributes(handle_.get(), originalAttributes_);
    attributesChanged_ = false;
    handle_.reset();
}

bool DeletionHandle::markForDeletion(bool deleteIt) {
    if (!handle_) return false;
    if (deleteIt && !writable_) {
        BY_HANDLE_FILE_INFORMATION facts{};
        if (GetFileInformationByHandle(handle_.get(), &facts) && (facts.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
            if (!setAttributes(handle_.get(), facts.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY)) {
                error_ = GetLastError();
                return false;
            }
            originalAttributes_ = facts.dwFileAttributes;
            attributesChanged_ = true;
        }
        writable_ = true;
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleteIt ? TRUE : FALSE;
    if (!SetFileInformationByHandle(handle_.get(), FileDispositionInfo, &disposition, sizeof(disposition))) {
        error_ = GetLastError();
        return false;
    }
    marked_ = deleteIt;
    return true;
}

void DeletionHandle::close() {
    if (marked_) {
        // It goes with the handle: nothing is left to give back.
        marked_ = false;
        attributesChanged_ = false;
    }
    giveBack();
}

}  // namespace swiftsetup
