#pragma once
// A file or folder opened so that it can be deleted through its handle, the entry itself when it
// is a link. Holding it keeps out every program that would open the entry in a way that stops its
// deletion: a file is held exclusively, so nobody can open it at all; a folder is held with
// delete access, so nobody can make it a current folder. Nothing is deleted until asked, and an
// entry given back unmarked is exactly as it was, its attributes included.

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/handles.h"

namespace swiftsetup {

class DeletionHandle {
public:
    enum class Kind { File, Folder };

    DeletionHandle() = default;
    // Opens the entry; check valid(), and error() for the reason when it is not.
    DeletionHandle(const std::string& path, Kind kind);
    DeletionHandle(DeletionHandle&&) noexcept = default;
    DeletionHandle& operator=(DeletionHandle&& other) noexcept;
    // Gives the entry back as it was: unmarked, its attributes restored.
    ~DeletionHandle() { giveBack(); }

    [[nodiscard]] bool valid() const { return handle_.valid(); }
    [[nodiscard]] uint32_t error() const { return error_; }

    // A file held with write access as well, which the system refuses for a program or library
    // some process runs: the proof that it can go, with nothing marked. A file that this user may
    // delete but not write (its permissions) is held without, and proved by a mark.
    [[nodiscard]] bool provedWritable() const { return provedWritable_; }

    // Marks the entry to be deleted when the handle closes, or takes the mark back. Marking tells
    // the truth about whether the entry can go: it fails for a program or library that some
    // process runs, and for a folder that is not empty. A read-only entry is made writable first
    // (Windows refuses to delete it otherwise). False with error() set when it fails.
    [[nodiscard]] bool markForDeletion(bool deleteIt);

    // Whether the name goes the moment the handle closes. Where the system deletes with POSIX
    // semantics (Windows 10 and later, on NTFS) it does. Elsewhere a program that still has the
    // entry open for its attributes alone (an indexer, a folder window) keeps the name in place
    // until it lets go: the folder above cannot be removed, and the name cannot be made again.
    bool nameGoesAtClose() const { return posixMarked_; }

    // Moves the entry to another name on the same drive, through this handle, so that nothing
    // can take hold of it on the way. False with error() set when it fails.
    [[nodiscard]] bool moveTo(const std::string& path);

    // Closes the handle: a marked entry is deleted now, unless some other program still has it
    // open for nothing but its attributes, which Windows allows; it then goes when that closes.
    void close();

private:
    void giveBack();

    UniqueHandle handle_;
    uint32_t error_ = ERROR_SUCCESS;
    DWORD originalAttributes_ = 0;
    bool attributesChanged_ = false;
    bool writable_ = false;  // its attributes let it be deleted (read-only cleared, if it was)
    bool marked_ = false;
    bool posixMarked_ = false;
    bool provedWritable_ = false;
};

}  // namespace swiftsetup
