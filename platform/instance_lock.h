#pragma once
// One installer or uninstaller of the product at a time for the user, across all of the user's
// sessions: a named mutex that carries the user's security identifier, held for as long as the
// lock object lives.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/handles.h"

namespace swiftsetup {

class InstanceLock {
public:
    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // Waits without a time limit until no other holder of the lock runs, then holds it. The lock
    // is named by name; runVariable names the environment variable by which a holder tells the
    // programs it starts that they belong to its run.
    //
    // A program that belongs to a holder's run goes on at once, for it would otherwise wait for
    // the holder while the holder waits for it: an installer runs the earlier version's
    // uninstaller, a copy of this program. It belongs to the run when it inherited the holder's
    // mark through its environment (through a shell or a launcher in between as well), or when
    // its own parent holds the lock as earlier builds mark it. A parent is only believed when it
    // started before the child, so a process that took over a parent's ended process identifier is
    // never mistaken for it. Both are looked at again while waiting.
    //
    // A holder that ended without releasing the lock leaves it to the next. The names are made
    // with a security of their own that lets the user's own runs, elevated or not, open and wait
    // for them. A name that exists but may not be opened (an elevated run of an earlier build, or
    // a name another user took) is held as well: it is looked at again every second until it goes,
    // after waitingForDenied is called once, or until patienceMs (0: no limit) have passed.
    enum class Outcome {
        Held,          // this program holds the lock
        BelongsToRun,  // it is part of a holder's run, and goes on at once
        Unguarded,     // no name of the lock can be made at all: the run goes on rather than not at all
        GaveUp,        // a name that may not be opened was held beyond patienceMs
    };
    [[nodiscard]] Outcome acquire(const wchar_t* name, const wchar_t* runVariable, uint64_t patienceMs,
                                  const std::function<void()>& waitingForDenied);

    // The name found held by a run this program may not open, for the log; empty when none was.
    [[nodiscard]] std::string deniedName() const;

    // For as long as it lives, programs that this one starts inherit the mark of the run it
    // belongs to (nothing when it holds no lock).
    class HandDown {
    public:
        HandDown(const std::wstring& variable, const std::wstring& mark);
        ~HandDown();
        HandDown(const HandDown&) = delete;
        HandDown& operator=(const HandDown&) = delete;

    private:
        std::wstring variable_;
    };
    HandDown handDown() const { return HandDown(runVariable_, runMark_); }

    // True when this program took the lock itself, rather than going on as part of a holder's run
    // (the earlier uninstaller that an install runs) or unguarded.
    [[nodiscard]] bool heldHere() const { return owned_; }

private:
    enum class Waited { Held, BelongsToRun, Failed };
    bool belongsToRun();
    Waited takeMutexes();
    void markTheRun(const void* security);

    std::wstring name_;
    std::wstring runVariable_;
    std::wstring runMark_;      // the name of the mark of the run this program belongs to
    std::wstring inheritedMark_;
    UniqueHandle userMutex_;    // per user, across sessions
    UniqueHandle sessionMutex_; // per session, the one earlier builds take
    UniqueHandle runMarkEvent_;
    UniqueHandle holderMark_;   // the mark earlier builds' children look for
    std::wstring deniedName_;
    bool owned_ = false;
};

}  // namespace swiftsetup
