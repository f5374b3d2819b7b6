#include "platform/instance_lock.h"

#include <sddl.h>
#include <tlhelp32.h>

#include "platform/account.h"
#include "text/digits.h"

namespace swiftsetup {
namespace {

// How often a waiting program looks again whether it belongs to the holder's run.
constexpr DWORD kLookAgainMs = 1000;

// The digits of a number as wide text (they are ASCII).
std::wstring digits(unsigned long long value, unsigned base = 10) {
    const std::string text = digitsOf(value, base);
    return std::wstring(text.begin(), text.end());
}

// The mark by which earlier builds tell their children that they hold the lock.
std::wstring holderMarkName(const std::wstring& name, DWORD processId) {
    return L"Local\\" + name + L" held by " + digits(processId);
}

// When a process started; nothing when it cannot be told.
bool creationTime(HANDLE process, unsigned long long& time) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return false;
    time = (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    return true;
}

// The process that started this one, when it still runs; 0 otherwise. Identifiers are reused:
// a process that started after this one cannot be its parent.
DWORD liveParentProcessId() {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    const DWORD self = GetCurrentProcessId();
    DWORD parent = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == self) parent = entry.th32ParentProcessID;
    }
    if (parent == 0) return 0;
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent));
    unsigned long long parentStart = 0, ownStart = 0;
    if (!process || !creationTime(process.get(), parentStart) || !creationTime(GetCurrentProcess(), ownStart)) return 0;
    return parentStart <= ownStart ? parent : 0;
}

// A mark's name is short: a longer value is nobody's mark.
std::wstring environmentVariable(const std::wstring& name) {
    wchar_t value[256];
    const DWORD length = GetEnvironmentVariableW(name.c_str(), value, 256);
    return length > 0 && length < 256 ? std::wstring(value, length) : std::wstring();
}

}  // namespace

InstanceLock::HandDown::HandDown(const std::wstring& variable, const std::wstring& mark) {
    if (variable.empty() || mark.empty()) return;
    if (SetEnvironmentVariableW(variable.c_str(), mark.c_str())) variable_ = variable;
}

InstanceLock::HandDown::~HandDown() {
    if (!variable_.empty()) SetEnvironmentVariableW(variable_.c_str(), nullptr);
}

InstanceLock::~InstanceLock() {
    holderMark_.reset();
    runMarkEvent_.reset();
    // Only the thread that took a mutex can release it. When that thread has ended first (the
    // window's worker, before the main thread tears down), the mutex is abandoned, which the next
    // waiter takes as free.
    if (owned_) {
        if (userMutex_) ReleaseMutex(userMutex_.get());
        if (sessionMutex_) ReleaseMutex(sessionMutex_.get());
    }
}

bool InstanceLock::belongsToRun() {
    // The holder's mark, handed down through the environment: it exists for as long as the holder
    // holds the lock. A name of another form is nobody's mark.
    const std::wstring prefix = L"Local\\" + name_ + L" run ";
    if (inheritedMark_.compare(0, prefix.size(), prefix) == 0 && inheritedMark_.size() > prefix.size()) {
        if (UniqueHandle(OpenEventW(SYNCHRONIZE, FALSE, inheritedMark_.c_str()))) {
            runMark_ = inheritedMark_;
            return true;
        }
    }
    const DWORD parent = liveParentProcessId();
    return parent != 0 && UniqueHandle(OpenEventW(SYNCHRONIZE, FALSE, holderMarkName(name_, parent).c_str()));
}

InstanceLock::Waited InstanceLock::takeMutexes() {
    HANDLE mutexes[2];
    DWORD count = 0;
    if (userMutex_) mutexes[count++] = userMutex_.get();
    if (sessionMutex_) mutexes[count++] = sessionMutex_.get();
    for (;;) {
        // Both at once, so that two programs that take them never wait for each other crosswise.
        const DWORD waited = WaitForMultipleObjects(count, mutexes, TRUE, kLookAgainMs);
        if (waited < WAIT_OBJECT_0 + count) return Waited::Held;
        if (waited >= WAIT_ABANDONED_0 && waited < WAIT_ABANDONED_0 + count) return Waited::Held;
        if (waited != WAIT_TIMEOUT) return Waited::Failed;
        if (belongsToRun()) return Waited::BelongsToRun;
    }
}

bool InstanceLock::acquire(const wchar_t* name, const wchar_t* runVariable) {
    name_ = name;
    runVariable_ = runVariable;
    // Read once and taken out of this program's environment: what it starts inherits a mark only
    // when handed one (handDown), never by accident (the application it starts last).
    inheritedMark_ = environmentVariable(runVariable_);
    SetEnvironmentVariableW(runVariable_.c_str(), nullptr);
    if (belongsToRun()) return true;

    // Per user, because the installation and its registration are the user's, whichever session
    // runs the installer; and per session as well, the lock of earlier builds.
    const std::wstring sid = accountSid();
    if (!sid.empty()) userMutex_.reset(CreateMutexW(nullptr, FALSE, (L"Global\\" + name_ + L" " + sid).c_str()));
    sessionMutex_.reset(CreateMutexW(nullptr, FALSE, (L"Local\\" + name_).c_str()));
    if (!userMutex_ && !sessionMutex_) return false;
    const Waited waited = takeMutexes();
    if (waited != Waited::Held) {
        userMutex_.reset();
        sessionMutex_.reset();
        return waited == Waited::BelongsToRun;
    }
    owned_ = true;

    // The marks: one for the children of earlier builds, one with a name no later process can
    // come by without being handed it (this process's identifier and its start time).
    const DWORD self = GetCurrentProcessId();
    holderMark_.reset(CreateEventW(nullptr, TRUE, FALSE, holderMarkName(name_, self).c_str()));
    unsigned long long started = 0;
    creationTime(GetCurrentProcess(), started);
    runMark_ = L"Local\\" + name_ + L" run " + digits(self) + L"." + digits(started, 16);
    runMarkEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, runMark_.c_str()));
    if (!runMarkEvent_) runMark_.clear();
    return true;
}

}  // namespace swiftsetup
