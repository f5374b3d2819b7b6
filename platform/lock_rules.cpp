#include "platform/lock_rules.h"

namespace swiftsetup {

LockStep decideLockStep(LockNameState userName, LockNameState sessionName, uint64_t deniedForMs, uint64_t patienceMs) {
    if (userName == LockNameState::Denied || sessionName == LockNameState::Denied) {
        return patienceMs != 0 && deniedForMs >= patienceMs ? LockStep::GiveUp : LockStep::LookAgainLater;
    }
    if (userName == LockNameState::Failed && sessionName == LockNameState::Failed) return LockStep::GoOnUnguarded;
    return LockStep::WaitForHolders;
}

}  // namespace swiftsetup
