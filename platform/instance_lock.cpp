#include "platform/instance_lock.h"

#include <tlhelp32.h>

#include <string>

namespace swiftsetup {
namespace {

// The name of the mark that the process with this identifier holds the lock. The digits are
// written here: std::to_wstring would bring a whole formatted-output engine into the program.
std::wstring holderMarkName(const wchar_t* name, DWORD processId) {
    std::wstring digits;
    do {
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + processId % 10));
        processId /= 10;
    } while (processId != 0);
    return std::wstring(name) + L" held by " + digits;
}

// The process that started this one; 0 when it cannot be told.
DWORD parentProcessId() {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    const DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == self) return entry.th32ParentProcessID;
    }
    return 0;
}

}  // namespace

InstanceLock::~InstanceLock() {
    holderMark_.reset();
    // Only the thread that took a mutex can release it. When that thread has ended first (the
    // window's worker, before the main thread tears down), the mutex is abandoned, which the next
    // waiter takes as free.
    if (mutex_ && owned_) ReleaseMutex(mutex_.get());
}

bool InstanceLock::acquire(const wchar_t* name) {
    mutex_.reset(CreateMutexW(nullptr, FALSE, name));
    if (!mutex_) return false;

    const DWORD parent = parentProcessId();
    if (parent != 0) {
        UniqueHandle parentMark(OpenEventW(SYNCHRONIZE, FALSE, holderMarkName(name, parent).c_str()));
        if (parentMark) return true;  // our parent holds the lock for the run we belong to
    }

    const DWORD waited = WaitForSingleObject(mutex_.get(), INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return false;
    owned_ = true;
    holderMark_.reset(CreateEventW(nullptr, TRUE, FALSE, holderMarkName(name, GetCurrentProcessId()).c_str()));
    return true;
}

}  // namespace swiftsetup
