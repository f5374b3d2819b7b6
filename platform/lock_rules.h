#pragma once
// The decision of a program that wants the one-at-a-time lock (instance_lock.h), from what it
// found of the lock's names. Portable, so that the rule is tested natively.

#include <cstdint>

namespace swiftsetup {

// What became of one name of the lock.
enum class LockNameState {
    Usable,   // made, or opened: it can be waited for
    Denied,   // it exists, but this program may not open it: another run holds it (an elevated
              // run of an earlier build, made with its token's default security), or a name
              // taken by another user
    Failed,   // it cannot be made at all, for another reason
};

enum class LockStep {
    WaitForHolders,  // wait until no holder of the usable names is left, then hold them
    LookAgainLater,  // a name is held by a run that cannot be waited for: look again in a moment
    GoOnUnguarded,   // no name can be made at all: the run goes on rather than not at all
    GiveUp,          // a name has been held beyond the patience a run has for it
};

// deniedForMs: how long a name has been found denied, without a break; patienceMs: how long a run
// waits for that (0: without a limit). A denied name is never run past: it is waited for as for
// any other run, and a run with a limit gives up, saying why, rather than go on beside it.
[[nodiscard]] LockStep decideLockStep(LockNameState userName, LockNameState sessionName, uint64_t deniedForMs,
                                      uint64_t patienceMs);

}  // namespace swiftsetup
