#include "platform/unique_id.h"

#include <windows.h>
#include <objbase.h>

#include <cstring>

namespace swiftsetup {

std::optional<Guid> newGuid() {
    GUID guid{};
    if (FAILED(CoCreateGuid(&guid))) return std::nullopt;
    Guid bytes;
    static_assert(sizeof(guid) == sizeof(bytes.bytes));
    std::memcpy(bytes.bytes.data(), &guid, sizeof(guid));
    return bytes;
}

}  // namespace swiftsetup
