#pragma once
// One installer or uninstaller of the product at a time for the user: a named mutex in the
// session's own namespace, held for as long as the lock object lives.

#include <windows.h>

#include "platform/handles.h"

namespace swiftsetup {

class InstanceLock {
public:
    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // Waits without a time limit until no other holder of the lock runs, then holds it. A
    // program started by the holder itself (an installer runs the earlier version's uninstaller,
    // which is a copy of this program) is part of the holder's run and goes on at once, for it
    // would otherwise wait for its own parent forever. A holder that ended without releasing the
    // lock leaves it to the next. False when the lock cannot be made at all; the run then goes
    // on unguarded rather than not at all.
    bool acquire(const wchar_t* name);

private:
    UniqueHandle mutex_;
    UniqueHandle holderMark_;  // tells this process's children that it holds the lock
    bool owned_ = false;
};

}  // namespace swiftsetup
