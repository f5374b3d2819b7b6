#include "tests/support/platform_import_hook.h"

#include <cstring>

namespace testsupport {
namespace {

bool sameTextIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return *a == *b;
}

void writeSlot(void** slot, void* value) {
    DWORD previous = 0;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &previous);
    *slot = value;
    VirtualProtect(slot, sizeof(void*), previous, &previous);
}

}  // namespace

ImportHook::ImportHook(const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return;

    // A library may appear in more than one import descriptor; every slot of the function is
    // replaced, so no call slips past.
    for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        if (!sameTextIgnoringCase(reinterpret_cast<const char*>(base + descriptor->Name), dll)) continue;
        if (descriptor->OriginalFirstThunk == 0) continue;  // no names to match against
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
        auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            if (slotCount_ == kMaxSlots) break;
            void** slot = reinterpret_cast<void**>(&addresses->u1.Function);
            if (original_ == nullptr) original_ = *slot;
            previous_[slotCount_] = *slot;
            slots_[slotCount_++] = slot;
            writeSlot(slot, replacement);
        }
    }
}

ImportHook::~ImportHook() {
    for (int i = 0; i < slotCount_; ++i) writeSlot(slots_[i], previous_[i]);
}

}  // namespace testsupport
