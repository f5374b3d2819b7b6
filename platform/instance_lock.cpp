#include "platform/instance_lock.h"

#include <sddl.h>
#include <tlhelp32.h>

#include "platform/account.h"
#include "platform/lock_rules.h"
#include "platform/text_conversion.h"
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

// The security the lock's names and marks are made with: the user's own runs, elevated or not,
// may open and wait for them, and so may the system; nobody else. An elevated run's objects would
// otherwise carry its token's default security and its high integrity level, which shut out the
// same user's ordinary runs. Where the system cannot read such a description, the default.
class OwnSecurity {
public:
    explicit OwnSecurity(const std::wstring& sid) {
        if (sid.empty()) return;
        const std::wstring access = L"D:(A;;GA;;;" + sid + L")(A;;GA;;;SY)";
        for (const std::wstring& text : {access + L"S:(ML;;NW;;;ME)", access}) {
            void* descriptor = nullptr;
            if (ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
                descriptor_.reset(descriptor);
                attributes_.nLength = sizeof(attributes_);
                attributes_.lpSecurityDescriptor = descriptor;
                attributes_.bInheritHandle = FALSE;
                return;
            }
        }
    }
    const void* attributes() const { return descriptor_ ? &attributes_ : nullptr; }

private:
    LocalMemory descriptor_;
    SECURITY_ATTRIBUTES attributes_{};
};

// Makes or opens one name of the lock, asking only for what waiting for it and releasing it take.
LockNameState makeMutex(const std::wstring& name, const OwnSecurity& security, UniqueHandle& mutex) {
    auto* attributes = static_cast<SECURITY_ATTRIBUTES*>(const_cast<void*>(security.attributes()));
    mutex.reset(CreateMutexExW(attributes, name.c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE));
    if (mutex) return LockNameState::Usable;
    return GetLastError() == ERROR_ACCESS_DENIED ? LockNameState::Denied : LockNameState::Failed;
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

InstanceLock::Outcome InstanceLock::acquire(const wchar_t* name, const wchar_t* runVariable, uint64_t patienceMs,
                                            const std::function<void()>& waitingForDenied) {
    name_ = name;
    runVariable_ = runVariable;
    // Read once and taken out of this program's environment: what it starts inherits a mark only
    // when handed one (handDown), never by accident (the application it starts last).
    inheritedMark_ = environmentVariable(runVariable_);
    SetEnvironmentVariableW(runVariable_.c_str(), nullptr);
    if (belongsToRun()) return Outcome::BelongsToRun;

    // Per user, because the installation and its registration are the user's, whichever session
    // runs the installer; and per session as well, the lock of earlier builds.
    const std::wstring sid = accountSid();
    const std::wstring userName = sid.empty() ? std::wstring() : L"Global\\" + name_ + L" " + sid;
    const std::wstring sessionName = L"Local\\" + name_;
    const OwnSecurity security(sid);
    uint64_t deniedSince = 0;
    for (;;) {
        const LockNameState user = userName.empty() ? LockNameState::Failed : makeMutex(userName, security, userMutex_);
        const LockNameState session = makeMutex(sessionName, security, sessionMutex_);
        const bool denied = user == LockNameState::Denied || session == LockNameState::Denied;
        const uint64_t now = GetTickCount64();
        if (!denied) {
            deniedSince = 0;
        } else if (deniedSince == 0) {
            deniedSince = now;
            deniedName_ = user == LockNameState::Denied ? userName : sessionName;
            if (waitingForDenied) waitingForDenied();
        }
        const LockStep step = decideLockStep(user, session, denied ? now - deniedSince : 0, patienceMs);
        if (step == LockStep::GoOnUnguarded) return Outcome::Unguarded;
        if (step != LockStep::WaitForHolders) {
            userMutex_.reset();
            sessionMutex_.reset();
            if (step == LockStep::GiveUp) return Outcome::GaveUp;
            Sleep(kLookAgainMs);
            if (belongsToRun()) return Outcome::BelongsToRun;
            continue;
        }
        const Waited waited = takeMutexes();
        if (waited != Waited::Held) {
            userMutex_.reset();
            sessionMutex_.reset();
            return waited == Waited::BelongsToRun ? Outcome::BelongsToRun : Outcome::Unguarded;
        }
        owned_ = true;
        markTheRun(security.attributes());
        return Outcome::Held;
    }
}

void InstanceLock::markTheRun(const void* security) {
    // The marks: one for the children of earlier builds, one with a name no later process can
    // come by without being handed it (this process's identifier and its start time).
    auto* attributes = static_cast<SECURITY_ATTRIBUTES*>(const_cast<void*>(security));
    const DWORD self = GetCurrentProcessId();
    holderMark_.reset(CreateEventW(attributes, TRUE, FALSE, holderMarkName(name_, self).c_str()));
    unsigned long long started = 0;
    creationTime(GetCurrentProcess(), started);
    runMark_ = L"Local\\" + name_ + L" run " + digits(self) + L"." + digits(started, 16);
    runMarkEvent_.reset(CreateEventW(attributes, TRUE, FALSE, runMark_.c_str()));
    if (!runMarkEvent_) runMark_.clear();
}

std::string InstanceLock::deniedName() const { return wideToUtf8(deniedName_.c_str(), -1); }

}  // namespace swiftsetup
