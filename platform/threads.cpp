#include "platform/threads.h"

namespace swiftsetup {

namespace {
// The threads inflate blocks, flush and close files and wait: the deepest of them went 3 KiB into
// its stack in a whole install under Wine, system calls included (libdeflate's deepest call chain
// takes under 1 KiB; its tables live in the decoder, on the heap). 64 KiB is the least Windows
// reserves (its allocation granularity), twenty times that, and keeps a 32-bit process's address
// space for the payload. Only the pages a thread touches are committed, so the reservation costs
// no memory; Wine gives every thread a stack of at least 1 MiB whatever is asked.
constexpr SIZE_T kStackReservation = 64 * 1024;
}

bool Thread::start(void (*body)(void*), void* context) {
    if (handle_.valid()) return false;
    body_ = body;
    context_ = context;
    handle_.reset(CreateThread(nullptr, kStackReservation, &Thread::run, this, STACK_SIZE_PARAM_IS_A_RESERVATION,
                               nullptr));
    return handle_.valid();
}

void Thread::join() {
    if (!handle_.valid()) return;
    WaitForSingleObject(handle_.get(), INFINITE);
    handle_.reset();
}

DWORD WINAPI Thread::run(void* self) {
    auto* thread = static_cast<Thread*>(self);
    thread->body_(thread->context_);
    return 0;
}

unsigned logicalProcessorCount() {
    DWORD_PTR processMask = 0;
    DWORD_PTR systemMask = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask) && processMask != 0) {
        unsigned count = 0;
        for (; processMask != 0; processMask &= processMask - 1) ++count;
        return count;
    }
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors != 0 ? info.dwNumberOfProcessors : 1;
}

}  // namespace swiftsetup
