#pragma once
// Threads and what they share, over Win32's own (Vista's slim reader/writer lock and condition
// variables): the shipped program's C++ library has no std::thread or std::mutex. Each object
// stays where it was made; none can be copied or moved.

#include <windows.h>

#include "platform/handles.h"

namespace swiftsetup {

class Lock {
public:
    Lock() = default;
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }

private:
    friend class Condition;
    SRWLOCK lock_ = SRWLOCK_INIT;
};

// Holds a lock for as long as it lives.
class LockHold {
public:
    explicit LockHold(Lock& lock) : lock_(lock) { lock_.lock(); }
    ~LockHold() { lock_.unlock(); }
    LockHold(const LockHold&) = delete;
    LockHold& operator=(const LockHold&) = delete;

private:
    Lock& lock_;
};

class Condition {
public:
    Condition() = default;
    Condition(const Condition&) = delete;
    Condition& operator=(const Condition&) = delete;

    // With the lock held: gives it up until woken (or for no reason, as conditions may), then
    // holds it again.
    void wait(Lock& lock) { SleepConditionVariableSRW(&condition_, &lock.lock_, INFINITE, 0); }
    void wakeOne() { WakeConditionVariable(&condition_); }
    void wakeAll() { WakeAllConditionVariable(&condition_); }

private:
    CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};

// A thread that runs one function and is waited for: by join(), or at the latest when its owner
// goes. Its stack is small (the work it is made for needs little), so a few of them cost little
// address space in a 32-bit process.
class Thread {
public:
    Thread() = default;
    ~Thread() { join(); }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts body(context) on a new thread; false (and nothing started) when none can be made or
    // this one already runs.
    [[nodiscard]] bool start(void (*body)(void*), void* context);
    // Returns when the thread has ended; at once when none was started.
    void join();
    bool started() const { return handle_.valid(); }

private:
    static DWORD WINAPI run(void* self);

    void (*body_)(void*) = nullptr;
    void* context_ = nullptr;
    UniqueHandle handle_;
};

// The logical processors this process may run on: those of its affinity mask (which `start /affinity`
// on Windows, and `taskset` under Wine, narrow), or the system's count when the mask cannot be read.
// At least 1.
unsigned logicalProcessorCount();

}  // namespace swiftsetup
