#include "platform/deletion_handle.h"

#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/text_conversion.h"

namespace swiftsetup {
namespace {

// The structures handed to SetFileInformationByHandle, as the system documents them for each
// build: a 32-bit program that disagreed would hand Windows nonsense only Windows would notice.
constexpr size_t kPointer = sizeof(void*);
static_assert(sizeof(FILE_BASIC_INFO) == 40 && offsetof(FILE_BASIC_INFO, FileAttributes) == 32);
static_assert(sizeof(FILE_DISPOSITION_INFO) == 1);
static_assert(offsetof(FILE_RENAME_INFO, RootDirectory) == kPointer);
static_assert(offsetof(FILE_RENAME_INFO, FileNameLength) == 2 * kPointer);
static_assert(offsetof(FILE_RENAME_INFO, FileName) == 2 * kPointer + 4);
static_assert(sizeof(FILE_RENAME_INFO) == (kPointer == 8 ? 24 : 16));

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

// The disposition with flags, of Windows 10 and later; older systems and other file systems refuse
// the class or the flag, and then the plain disposition serves.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionPosixSemantics = 0x2;

bool setPosixDisposition(HANDLE handle, bool deleteIt) {
    // FILE_DISPOSITION_INFO_EX: its flags alone, four bytes in both builds.
    DWORD flags = deleteIt ? kDispositionDelete | kDispositionPosixSemantics : 0;
    static_assert(sizeof(flags) == 4);
    return SetFileInformationByHandle(handle, kFileDispositionInfoEx, &flags, sizeof(flags)) != FALSE;
}

bool setDisposition(HANDLE handle, bool deleteIt) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleteIt ? TRUE : FALSE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

// The answers of a system or file system that has no POSIX deletion, rather than of an entry that
// cannot go.
bool isUnsupported(DWORD error) {
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
           error == ERROR_CALL_NOT_IMPLEMENTED;
}

// The name in the form the file system takes in a rename by handle: "\??\C:\..." or
// "\??\UNC\server\share\...".
std::wstring systemPathName(const std::string& path) {
    const WideBuffer wide = utf8ToWide(path);
    const std::wstring name(wide.c_str());
    if (name.rfind(L"\\\\?\\", 0) == 0) return L"\\??\\" + name.substr(4);
    if (name.rfind(L"\\\\", 0) == 0) return L"\\??\\UNC\\" + name.substr(2);
    return L"\\??\\" + name;
}

}  // namespace

DeletionHandle::DeletionHandle(const std::string& path, Kind kind) {
    // Delete access, and the attributes to make a read-only entry deletable. A link is opened
    // itself, never what it leads to.
    constexpr DWORD kAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
    const WideBuffer name = fileSystemPath(path);
    auto open = [&](DWORD access, DWORD sharing, DWORD flags) {
        handle_.reset(CreateFileW(name.c_str(), access, sharing, nullptr, OPEN_EXISTING, flags, nullptr));
        error_ = handle_ ? ERROR_SUCCESS : GetLastError();
        return handle_.valid();
    };
    if (kind == Kind::Folder) {
        open(kAccess, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
             FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS);
        return;
    }
    // A file is held exclusively, with write access as well: the system refuses that for a program
    // or library some process runs, as it refuses to delete one, without a mark that a run cut off
    // at the wrong moment would leave behind.
    if (open(kAccess | FILE_WRITE_DATA, 0, FILE_FLAG_OPEN_REPARSE_POINT)) {
        provedWritable_ = true;
        return;
    }
    if (error_ != ERROR_ACCESS_DENIED) return;
    // A read-only file refuses write access: it is made writable, and given back read-only should
    // the claim not hold. A run cut off in between leaves it writable, its contents as they were.
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        SetFileAttributesW(name.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
        if (open(kAccess | FILE_WRITE_DATA, 0, FILE_FLAG_OPEN_REPARSE_POINT)) {
            provedWritable_ = true;
            originalAttributes_ = attributes;
            attributesChanged_ = true;
            writable_ = true;
            return;
        }
        const DWORD error = error_;
        SetFileAttributesW(name.c_str(), attributes);
        error_ = error;
        if (error_ != ERROR_ACCESS_DENIED) return;
    }
    // Rights to delete it without rights to write it: held all the same, the proof left to a mark.
    open(kAccess, 0, FILE_FLAG_OPEN_REPARSE_POINT);
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
        posixMarked_ = other.posixMarked_;
        provedWritable_ = other.provedWritable_;
    }
    return *this;
}

void DeletionHandle::giveBack() {
    if (!handle_) return;
    // Taking back a mark made through this very handle is not refused; were it, the entry would go
    // at close, and there is no other way to keep it.
    if (marked_) (void)markForDeletion(false);
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
    // A mark is taken back the way it was made.
    if (deleteIt || posixMarked_) {
        if (setPosixDisposition(handle_.get(), deleteIt)) {
            marked_ = deleteIt;
            posixMarked_ = deleteIt;
            return true;
        }
        const DWORD error = GetLastError();
        if (!isUnsupported(error)) {
            error_ = error;
            return false;
        }
    }
    if (!setDisposition(handle_.get(), deleteIt)) {
        error_ = GetLastError();
        return false;
    }
    marked_ = deleteIt;
    posixMarked_ = false;
    return true;
}

bool DeletionHandle::moveTo(const std::string& path) {
    if (!handle_) return false;
    const std::wstring name = systemPathName(path);
    const size_t nameBytes = name.size() * sizeof(wchar_t);
    std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(rename->FileName, name.c_str(), nameBytes + sizeof(wchar_t));
    if (!SetFileInformationByHandle(handle_.get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))) {
        error_ = GetLastError();
        return false;
    }
    return true;
}

void DeletionHandle::close() {
    if (marked_) {
        // It goes with the handle: nothing is left to give back.
        marked_ = false;
        posixMarked_ = false;
        attributesChanged_ = false;
    }
    giveBack();
}

}  // namespace swiftsetup
