#include "platform/registry_key.h"

#include <algorithm>
#include <memory>

#include "platform/text_conversion.h"

namespace swiftsetup {
namespace {

// The registry's own limit for a value name, in UTF-16 units without the terminator.
constexpr DWORD kMaxValueNameLength = 16383;

// The one root record of the program. Its count stays -1, so nothing ever changes it and its key
// is never closed.
KeyRecord rootRecord{HKEY_CURRENT_USER, -1};

REGSAM accessMask(KeyAccess access) {
    switch (access) {
    case KeyAccess::Read: return KEY_READ;
    case KeyAccess::Write: return KEY_WRITE;
    case KeyAccess::ReadWrite: return KEY_READ | KEY_WRITE;
    }
    return KEY_READ;
}

// Registry names are C strings to Windows: a name with a NUL inside would silently address a
// shorter name, and deleting or overwriting the wrong key or value is worse than failing.
bool isUsableName(const std::string& name) { return name.find('\0') == std::string::npos; }

}  // namespace

RegistryKey::RegistryKey(const RegistryKey& other) : record_(other.record_) {
    if (record_ != nullptr && record_->count > 0) ++record_->count;
}

RegistryKey& RegistryKey::operator=(const RegistryKey& other) {
    if (this == &other) return *this;
    // Counting the new holder first keeps the record alive when both handles share it.
    if (other.record_ != nullptr && other.record_->count > 0) ++other.record_->count;
    release();
    record_ = other.record_;
    return *this;
}

RegistryKey::~RegistryKey() { release(); }

void RegistryKey::release() {
    KeyRecord* record = record_;
    record_ = nullptr;
    if (record == nullptr || record->count <= 0) return;
    if (--record->count == 0) {
        RegCloseKey(record->key);
        delete record;
    }
}

RegistryKey RegistryKey::currentUser() { return RegistryKey(&rootRecord); }

RegistryKey RegistryKey::open(const std::string& subKey, KeyAccess access) const {
    if (!isValid() || !isUsableName(subKey)) return RegistryKey();
    // The record is made before the key is opened, so that an allocation failure cannot leak it.
    auto record = std::make_unique<KeyRecord>(KeyRecord{nullptr, 1});
    if (RegOpenKeyExW(record_->key, utf8ToWide(subKey).c_str(), 0, accessMask(access), &record->key) !=
        ERROR_SUCCESS) {
        return RegistryKey();
    }
    return RegistryKey(record.release());
}

RegistryKey RegistryKey::create(const std::string& subKey, KeyAccess access) const {
    if (!isValid() || !isUsableName(subKey)) return RegistryKey();
    auto record = std::make_unique<KeyRecord>(KeyRecord{nullptr, 1});
    if (RegCreateKeyExW(record_->key, utf8ToWide(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        accessMask(access), nullptr, &record->key, nullptr) != ERROR_SUCCESS) {
        return RegistryKey();
    }
    return RegistryKey(record.release());
}

bool RegistryKey::setString(const std::string& valueName, const std::string& text) const {
    if (!isValid() || !isUsableName(valueName)) return false;
    const WideBuffer data = utf8ToWide(text);  // its size counts the terminating NUL
    return RegSetValueExW(record_->key, utf8ToWide(valueName).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RegistryKey::setDword(const std::string& valueName, uint32_t value) const {
    if (!isValid() || !isUsableName(valueName)) return false;
    const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                           static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
    return RegSetValueExW(record_->key, utf8ToWide(valueName).c_str(), 0, REG_DWORD, bytes,
                          sizeof(bytes)) == ERROR_SUCCESS;
}

std::string RegistryKey::queryString(const std::string& valueName) const { return queryText(valueName, false); }

std::string RegistryKey::queryExpandableString(const std::string& valueName) const {
    return queryText(valueName, true);
}

std::string RegistryKey::queryText(const std::string& valueName, bool expandable) const {
    if (!isValid() || !isUsableName(valueName)) return std::string();
    const WideBuffer name = utf8ToWide(valueName);
    auto acceptable = [&](DWORD type) { return type == REG_SZ || (expandable && type == REG_EXPAND_SZ); };

    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(record_->key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        !acceptable(type) || size == 0) {
        return std::string();
    }

    // Rounded up to whole units, so an odd byte count still fits; zero-filled, so the text ends
    // at the buffer's end when the value carries no terminator of its own.
    std::vector<wchar_t> buffer;
    LONG status = ERROR_SUCCESS;
    DWORD units = (size + 1) / 2;
    for (;;) {
        buffer.assign(units, L'\0');
        DWORD bytes = units * sizeof(wchar_t);
        status = RegQueryValueExW(record_->key, name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(buffer.data()), &bytes);
        if (status == ERROR_MORE_DATA) {
            // The value grew between the reads: take the size the system now reports, at least
            // 32 units more, so that every retry makes progress.
            units = std::max<DWORD>(units + 32, (bytes + 1) / 2);
            continue;
        }
        size = bytes;
        break;
    }
    if (status != ERROR_SUCCESS || !acceptable(type)) return std::string();

    // Only what this read delivered counts; the value may have shrunk since the first look.
    const size_t delivered = std::min<size_t>(buffer.size(), (size + 1) / 2);
    const size_t length = std::find(buffer.begin(), buffer.begin() + delivered, L'\0') - buffer.begin();
    if (length == 0) return std::string();
    if (type == REG_EXPAND_SZ) {
        // As Windows itself reads such a value: every %VARIABLE% replaced from the environment.
        const std::wstring text(buffer.data(), length);
        std::vector<wchar_t> expanded(length + 1);
        for (;;) {
            const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
            if (needed == 0) return std::string();
            if (needed <= expanded.size()) return wideToUtf8(expanded.data(), -1);
            expanded.assign(needed, L'\0');
        }
    }
    return wideToUtf8(buffer.data(), static_cast<int32_t>(length));
}

bool RegistryKey::deleteValue(const std::string& valueName) const {
    if (!isValid() || !isUsableName(valueName)) return false;
    return RegDeleteValueW(record_->key, utf8ToWide(valueName).c_str()) == ERROR_SUCCESS;
}

bool RegistryKey::deleteSubKey(const std::string& subKey) const {
    // An empty name would make the system delete the key this handle holds, not a subkey of it.
    if (!isValid() || subKey.empty() || !isUsableName(subKey)) return false;
    return RegDeleteKeyW(record_->key, utf8ToWide(subKey).c_str()) == ERROR_SUCCESS;
}

std::vector<std::string> RegistryKey::valueNames() const {
    std::vector<std::string> names;
    if (!isValid()) return names;

    // The length handed to the system keeps one unit of the buffer back. On ERROR_MORE_DATA some
    // systems report the length they need and some (Wine among them) report nothing new, so the
    // buffer at least doubles each time and stops at the registry's own limit: the loop cannot
    // spin on one index.
    constexpr DWORD kLargestBuffer = kMaxValueNameLength + 2;  // name, NUL, and the unit held back
    std::vector<wchar_t> buffer(1024);
    for (DWORD index = 0;;) {
        DWORD length = static_cast<DWORD>(buffer.size() - 1);
        const LONG status =
            RegEnumValueW(record_->key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) {
            names.push_back(length == 0 ? std::string()
                                        : wideToUtf8(buffer.data(), static_cast<int32_t>(length)));
            ++index;
        } else if (status == ERROR_MORE_DATA && buffer.size() < kLargestBuffer) {
            // Room for a name of the reported length, its NUL and the unit held back.
            const size_t reported = static_cast<size_t>(length) + 2;
            buffer.assign(std::min<size_t>(std::max(reported, buffer.size() * 2), kLargestBuffer), L'\0');
        } else {
            break;  // ERROR_NO_MORE_ITEMS, a failure, or a name beyond what the registry allows
        }
    }
    return names;
}

}  // namespace swiftsetup
