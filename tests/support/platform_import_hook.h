#pragma once
// Lets a test watch the Windows calls that the code under test makes: while an ImportHook lives,
// the running program's own calls of one imported function go to a replacement instead. Only the
// program's import table is changed, so calls that Windows' libraries make among themselves are
// not affected. The replacement usually records what it sees and calls original().

#include <windows.h>

namespace testsupport {

class ImportHook {
public:
    // dll is matched without regard to case ("advapi32.dll"), function by its exact name.
    ImportHook(const char* dll, const char* function, void* replacement);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    // False when the program does not import the function by name from that library.
    bool installed() const { return slotCount_ > 0; }
    // The function that was called before the hook was installed.
    void* original() const { return original_; }

    template <typename Function>
    Function originalAs() const {
        return reinterpret_cast<Function>(original_);
    }

private:
    static constexpr int kMaxSlots = 4;
    void** slots_[kMaxSlots] = {};
    void* previous_[kMaxSlots] = {};
    int slotCount_ = 0;
    void* original_ = nullptr;
};

}  // namespace testsupport
