#include "platform/resources.h"

#include <windows.h>

#include "platform/resource_handle.h"
#include "platform/text_conversion.h"

namespace swiftsetup {

ResourceBytes loadResource(HMODULE module, HRSRC resource) {
    ResourceBytes bytes;
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        bytes.error = GetLastError();
        return bytes;
    }
    // Resources stay where the module's image holds them until it is unloaded: nothing to free.
    bytes.data = static_cast<const uint8_t*>(data);
    bytes.size = SizeofResource(module, resource);
    return bytes;
}

ResourceBytes ownResource(int type, int name) {
    HMODULE self = GetModuleHandleW(nullptr);
    return loadResource(self, FindResourceW(self, MAKEINTRESOURCEW(name), MAKEINTRESOURCEW(type)));
}

ProgramFileResources::ProgramFileResources(const std::string& path)
    : module_(LoadLibraryExW(utf8ToWide(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}

ProgramFileResources::~ProgramFileResources() {
    if (module_ != nullptr) FreeLibrary(static_cast<HMODULE>(module_));
}

std::string_view ProgramFileResources::bytes(int type, int name) const {
    if (module_ == nullptr) return {};
    const HMODULE module = static_cast<HMODULE>(module_);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(name), MAKEINTRESOURCEW(type));
    if (resource == nullptr) return {};
    const ResourceBytes found = loadResource(module, resource);
    return found.loaded() ? std::string_view(reinterpret_cast<const char*>(found.data), found.size) : std::string_view();
}

}  // namespace swiftsetup
