#include "platform/threads.h"

namespace swiftsetup {

namespace {
constexpr SIZE_T kStackReservation = 256 * 1024;
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
