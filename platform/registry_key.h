#pragma once
// The program's one way into the registry: a small value type sharing an open key below
// HKEY_CURRENT_USER with its copies, closing it when the last copy goes. Failures show as an
// invalid handle, false, empty text or a shorter list; nothing throws for a registry failure.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace swiftsetup {

enum class KeyAccess { Read, Write, ReadWrite };

// Shared by every handle to one open key. count -1: not counted and never closed (the root).
struct KeyRecord {
    HKEY key;
    int32_t count;
};

class RegistryKey {
public:
    RegistryKey() = default;  // invalid
    RegistryKey(const RegistryKey& other);
    RegistryKey& operator=(const RegistryKey& other);
    ~RegistryKey();

    // HKEY_CURRENT_USER, never closed.
    static RegistryKey currentUser();

    [[nodiscard]] RegistryKey open(const std::string& subKey, KeyAccess access) const;
    [[nodiscard]] RegistryKey create(const std::string& subKey, KeyAccess access) const;

    [[nodiscard]] bool setString(const std::string& valueName, const std::string& text) const;
    [[nodiscard]] bool setDword(const std::string& valueName, uint32_t value) const;
    // Empty unless the value is a non-empty REG_SZ.
    [[nodiscard]] std::string queryString(const std::string& valueName) const;
    // A REG_SZ as it stands, or a REG_EXPAND_SZ with its environment references expanded, as
    // Windows reads paths stored that way; empty for anything else.
    [[nodiscard]] std::string queryExpandableString(const std::string& valueName) const;
    [[nodiscard]] bool deleteValue(const std::string& valueName) const;
    // Not recursive: a key with subkeys stays and the result is false.
    [[nodiscard]] bool deleteSubKey(const std::string& subKey) const;
    // In enumeration order.
    [[nodiscard]] std::vector<std::string> valueNames() const;

    bool isValid() const { return record_ != nullptr; }

private:
    explicit RegistryKey(KeyRecord* record) : record_(record) {}
    void release();
    std::string queryText(const std::string& valueName, bool expandable) const;

    KeyRecord* record_ = nullptr;
};

// Free-function spelling of RegistryKey::currentUser, as the sequences read it.
inline RegistryKey currentUser() { return RegistryKey::currentUser(); }

}  // namespace swiftsetup
