// The registry handle against the real registry of the test prefix: every test works in a key of
// its own below HKEY_CURRENT_USER\Software\LexmoraTests and removes it afterwards. The program's
// calls into advapi32 are watched through its import table, which shows exactly which keys are
// opened and closed, and that an invalid handle never reaches Windows.
#include "platform/registry_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/platform_import_hook.h"
#include "tests/support/test_support.h"

namespace swiftsetup {
namespace {

using testsupport::ImportHook;
using testsupport::narrow;
using testsupport::widen;

// Records the registry calls of this program while it lives.
class RegistryWatch {
public:
    RegistryWatch()
        : close_("advapi32.dll", "RegCloseKey", reinterpret_cast<void*>(&closeKey)),
          open_("advapi32.dll", "RegOpenKeyExW", reinterpret_cast<void*>(&openKey)),
          create_("advapi32.dll", "RegCreateKeyExW", reinterpret_cast<void*>(&createKey)),
          set_("advapi32.dll", "RegSetValueExW", reinterpret_cast<void*>(&setValue)),
          query_("advapi32.dll", "RegQueryValueExW", reinterpret_cast<void*>(&queryValue)),
          deleteValue_("advapi32.dll", "RegDeleteValueW", reinterpret_cast<void*>(&deleteValue)),
          deleteKey_("advapi32.dll", "RegDeleteKeyW", reinterpret_cast<void*>(&deleteKey)),
          enumValue_("advapi32.dll", "RegEnumValueW", reinterpret_cast<void*>(&enumValue)) {
        active = this;
    }
    ~RegistryWatch() { active = nullptr; }

    bool ready() const {
        return close_.installed() && open_.installed() && create_.installed() && set_.installed() &&
               query_.installed() && deleteValue_.installed() && deleteKey_.installed() &&
               enumValue_.installed();
    }

    std::vector<HKEY> opened;  // keys handed out by RegOpenKeyExW and RegCreateKeyExW
    std::vector<HKEY> closed;  // every RegCloseKey, in order
    int calls = 0;             // every watched call

private:
    static LSTATUS WINAPI closeKey(HKEY key) {
        ++active->calls;
        active->closed.push_back(key);
        return active->close_.originalAs<decltype(&RegCloseKey)>()(key);
    }
    static LSTATUS WINAPI openKey(HKEY key, LPCWSTR name, DWORD options, REGSAM access, PHKEY result) {
        ++active->calls;
        const LSTATUS status =
            active->open_.originalAs<decltype(&RegOpenKeyExW)>()(key, name, options, access, result);
        if (status == ERROR_SUCCESS) active->opened.push_back(*result);
        return status;
    }
    static LSTATUS WINAPI createKey(HKEY key, LPCWSTR name, DWORD reserved, LPWSTR keyClass, DWORD options,
                                    REGSAM access, const SECURITY_ATTRIBUTES* security, PHKEY result,
                                    LPDWORD disposition) {
        ++active->calls;
        const LSTATUS status = active->create_.originalAs<decltype(&RegCreateKeyExW)>()(
            key, name, reserved, keyClass, options, access, const_cast<SECURITY_ATTRIBUTES*>(security),
            result, disposition);
        if (status == ERROR_SUCCESS) active->opened.push_back(*result);
        return status;
    }
    static LSTATUS WINAPI setValue(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                                   DWORD size) {
        ++active->calls;
        return active->set_.originalAs<decltype(&RegSetValueExW)>()(key, name, reserved, type, data, size);
    }
    static LSTATUS WINAPI queryValue(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                     LPDWORD size) {
        ++active->calls;
        return active->query_.originalAs<decltype(&RegQueryValueExW)>()(key, name, reserved, type, data, size);
    }
    static LSTATUS WINAPI deleteValue(HKEY key, LPCWSTR name) {
        ++active->calls;
        return active->deleteValue_.originalAs<decltype(&RegDeleteValueW)>()(key, name);
    }
    static LSTATUS WINAPI deleteKey(HKEY key, LPCWSTR name) {
        ++active->calls;
        return active->deleteKey_.originalAs<decltype(&RegDeleteKeyW)>()(key, name);
    }
    static LSTATUS WINAPI enumValue(HKEY key, DWORD index, LPWSTR name, LPDWORD length, LPDWORD reserved,
                                    LPDWORD type, LPBYTE data, LPDWORD size) {
        ++active->calls;
        return active->enumValue_.originalAs<decltype(&RegEnumValueW)>()(key, index, name, length, reserved,
                                                                         type, data, size);
    }

    static inline RegistryWatch* active = nullptr;
    ImportHook close_, open_, create_, set_, query_, deleteValue_, deleteKey_, enumValue_;
};

// A key still works as long as the system answers questions about it.
bool keyIsOpen(HKEY key) {
    DWORD subKeys = 0;
    return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

class RegistryKeyTest : public testing::Test {
protected:
    void SetUp() override {
        path_ = "Software\\LexmoraTests\\registry-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount64());
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, widen(path_).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, widen(path_).c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, widen(path_).c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\LexmoraTests");  // only when no other test uses it
    }

    // Direct access to the test key, past the code under test.
    struct RawValue {
        LSTATUS status = ERROR_FILE_NOT_FOUND;
        DWORD type = REG_NONE;
        std::string bytes;
    };
    RawValue rawQuery(const std::string& name, const std::string& below = "") const {
        RawValue value;
        HKEY key = nullptr;
        const std::string keyPath = below.empty() ? path_ : path_ + "\\" + below;
        value.status = RegOpenKeyExW(HKEY_CURRENT_USER, widen(keyPath).c_str(), 0, KEY_READ, &key);
        if (value.status != ERROR_SUCCESS) return value;
        DWORD size = 0;
        value.status = RegQueryValueExW(key, widen(name).c_str(), nullptr, &value.type, nullptr, &size);
        if (value.status == ERROR_SUCCESS) {
            value.bytes.assign(size, '\0');
            value.status = RegQueryValueExW(key, widen(name).c_str(), nullptr, &value.type,
                                            reinterpret_cast<BYTE*>(value.bytes.data()), &size);
            value.bytes.resize(size);
        }
        RegCloseKey(key);
        return value;
    }
    void rawSet(const std::string& name, DWORD type, const std::string& bytes) const {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, widen(path_).c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, widen(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    bool rawKeyExists(const std::string& below) const {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, widen(path_ + "\\" + below).c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS) {
            return false;
        }
        RegCloseKey(key);
        return true;
    }
    static std::string wideBytes(const std::wstring& text) {
        return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    }

    std::string path_;
};

TEST_F(RegistryKeyTest, RootHandleIsNeverClosed) {
    RegistryWatch watch;
    ASSERT_TRUE(watch.ready());
    {
        const RegistryKey root = currentUser();
        EXPECT_TRUE(root.isValid());
        std::vector<RegistryKey> copies(1000, root);
        RegistryKey assigned;
        for (size_t i = 0; i < copies.size(); i += 10) {
            assigned = copies[i];
            assigned = assigned;
        }
        copies.clear();
        for (int i = 0; i < 100; ++i) {
            RegistryKey another = RegistryKey::currentUser();
            RegistryKey copy(another);
            copy = root;
        }
    }
    // Windows itself ignores a close of the predefined root (Wine does too), so the watched calls
    // are what shows that the root was never handed to RegCloseKey.
    EXPECT_TRUE(watch.closed.empty());
    EXPECT_TRUE(std::find(watch.closed.begin(), watch.closed.end(), HKEY_CURRENT_USER) == watch.closed.end());

    // And the root still serves, through fresh handles and directly.
    EXPECT_TRUE(currentUser().open(path_, KeyAccess::Write).setString("after", "roots"));
    EXPECT_EQ(rawQuery("after").status, ERROR_SUCCESS);
}

TEST_F(RegistryKeyTest, LastCopyClosesTheKeyExactlyOnce) {
    RegistryWatch watch;
    ASSERT_TRUE(watch.ready());
    HKEY shared = nullptr;
    HKEY other = nullptr;
    {
        RegistryKey first = currentUser().create(path_, KeyAccess::ReadWrite);
        ASSERT_TRUE(first.isValid());
        ASSERT_EQ(watch.opened.size(), 1u);
        shared = watch.opened[0];
        {
            RegistryKey second(first);
            RegistryKey third;
            third = second;
            third = third;  // self-assignment changes nothing
            RegistryKey fourth = currentUser().open(path_, KeyAccess::Read);
            ASSERT_TRUE(fourth.isValid());
            ASSERT_EQ(watch.opened.size(), 2u);
            other = watch.opened[1];
            ASSERT_NE(other, shared);

            // Assigning lets go of the key held so far: fourth was its only holder.
            fourth = third;
            EXPECT_EQ(watch.closed, std::vector<HKEY>{other});
            EXPECT_FALSE(keyIsOpen(other));

            first = RegistryKey();
            second = RegistryKey();
            EXPECT_FALSE(first.isValid());
            EXPECT_EQ(watch.closed.size(), 1u) << "copies remain, the key stays open";
            EXPECT_TRUE(keyIsOpen(shared));

            // The remaining copies still share the one key.
            EXPECT_TRUE(third.setString("shared", "one key"));
            EXPECT_EQ(fourth.queryString("shared"), "one key");
        }
        EXPECT_EQ(watch.closed, (std::vector<HKEY>{other, shared}));
        EXPECT_FALSE(keyIsOpen(shared));
    }
    // first was emptied before its scope ended: nothing more is closed.
    EXPECT_EQ(watch.closed, (std::vector<HKEY>{other, shared}));
    EXPECT_EQ(std::count(watch.closed.begin(), watch.closed.end(), shared), 1);

    // Copies of an invalid handle are invalid and close nothing.
    {
        RegistryKey invalid;
        RegistryKey copy(invalid);
        RegistryKey assigned = currentUser().open(path_, KeyAccess::Read);
        assigned = copy;
        EXPECT_FALSE(copy.isValid());
        EXPECT_FALSE(assigned.isValid());
    }
    EXPECT_EQ(watch.closed.size(), 3u);
}

TEST_F(RegistryKeyTest, OpenNeverCreatesAndCreateMakesThePath) {
    const RegistryKey root = currentUser();
    EXPECT_FALSE(root.open(path_ + "\\one\\two", KeyAccess::ReadWrite).isValid());
    EXPECT_FALSE(rawKeyExists("one"));

    const RegistryKey created = root.create(path_ + "\\one\\two", KeyAccess::Write);
    ASSERT_TRUE(created.isValid());
    EXPECT_TRUE(rawKeyExists("one\\two"));
    EXPECT_TRUE(created.setDword("written", 7));
    // An existing key is opened by create as well.
    EXPECT_TRUE(root.create(path_ + "\\one\\two", KeyAccess::Read).isValid());
    EXPECT_EQ(rawQuery("written", "one\\two").status, ERROR_SUCCESS);

    // The access asked for is the access granted.
    const RegistryKey readOnly = root.open(path_ + "\\one\\two", KeyAccess::Read);
    ASSERT_TRUE(readOnly.isValid());
    EXPECT_FALSE(readOnly.setString("refused", "text"));
    EXPECT_NE(rawQuery("refused", "one\\two").status, ERROR_SUCCESS);
    EXPECT_TRUE(created.setString("text", "readable"));
    EXPECT_EQ(readOnly.queryString("text"), "readable");
    EXPECT_EQ(created.queryString("text"), "") << "write access alone does not read";
}

TEST_F(RegistryKeyTest, TextAndNumbersAreStoredAsWindowsKeepsThem) {
    const RegistryKey key = currentUser().open(path_, KeyAccess::ReadWrite);
    ASSERT_TRUE(key.isValid());

    // Empty text is one NUL: two bytes.
    ASSERT_TRUE(key.setString("empty", ""));
    RawValue empty = rawQuery("empty");
    EXPECT_EQ(empty.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(empty.bytes, std::string(2, '\0'));
    EXPECT_EQ(key.queryString("empty"), "");

    // Danish letters are one UTF-16 unit each; the terminator is stored with the text.
    const std::string danish = "Lexmora \xC3\xA6\xC3\xB8\xC3\xA5 \xC3\x86\xC3\x98\xC3\x85";  // æøå ÆØÅ
    ASSERT_TRUE(key.setString("danish", danish));
    RawValue stored = rawQuery("danish");
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored.bytes, wideBytes(std::wstring(L"Lexmora \u00E6\u00F8\u00E5 \u00C6\u00D8\u00C5") + L'\0'));
    EXPECT_EQ(key.queryString("danish"), danish);

    // Long text comes back whole.
    std::string longText(40000, 'x');
    longText += "\xC3\xB8";
    ASSERT_TRUE(key.setString("long", longText));
    EXPECT_EQ(key.queryString("long"), longText);

    // The unnamed default value is a value like any other.
    ASSERT_TRUE(key.setString("", "default"));
    EXPECT_EQ(rawQuery("").bytes, wideBytes(std::wstring(L"default") + L'\0'));
    EXPECT_EQ(key.queryString(""), "default");

    // Numbers: four bytes, little-endian; overwriting changes the type.
    ASSERT_TRUE(key.setDword("number", 0x12345678u));
    RawValue number = rawQuery("number");
    EXPECT_EQ(number.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(number.bytes, std::string("\x78\x56\x34\x12", 4));
    ASSERT_TRUE(key.setDword("danish", 0xFFFFFFFFu));
    EXPECT_EQ(rawQuery("danish").bytes, std::string(4, '\xFF'));
    EXPECT_EQ(key.queryString("danish"), "");

    // Deleting a value.
    EXPECT_TRUE(key.deleteValue("number"));
    EXPECT_EQ(rawQuery("number").status, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key.deleteValue("number"));
}

TEST_F(RegistryKeyTest, QueryStringReadsOnlyTextValues) {
    rawSet("expand", REG_EXPAND_SZ, wideBytes(std::wstring(L"%TEMP%\\x") + L'\0'));
    rawSet("multi", REG_MULTI_SZ, wideBytes(std::wstring(L"a\0b\0\0", 5)));
    rawSet("dword", REG_DWORD, std::string("\x01\x00\x00\x00", 4));
    rawSet("binary", REG_BINARY, wideBytes(std::wstring(L"abc") + L'\0'));
    rawSet("zero", REG_SZ, "");
    rawSet("unterminated", REG_SZ, wideBytes(L"abc"));
    rawSet("odd", REG_SZ, wideBytes(L"abcd").substr(0, 7));
    rawSet("inner", REG_SZ, wideBytes(std::wstring(L"ab\0cd\0", 6)));

    const RegistryKey key = currentUser().open(path_, KeyAccess::Read);
    ASSERT_TRUE(key.isValid());
    EXPECT_EQ(key.queryString("expand"), "");
    EXPECT_EQ(key.queryString("multi"), "");
    EXPECT_EQ(key.queryString("dword"), "");
    EXPECT_EQ(key.queryString("binary"), "");
    EXPECT_EQ(key.queryString("zero"), "");
    EXPECT_EQ(key.queryString("missing"), "");
    // Text stored without its terminator is taken to the end of the data.
    EXPECT_EQ(key.queryString("unterminated"), "abc");
    // An odd byte count: the last unit is completed with a zero byte, nothing beyond the data.
    EXPECT_EQ(key.queryString("odd"), "abcd");
    EXPECT_EQ(key.queryString("inner"), "ab");
}

TEST_F(RegistryKeyTest, NamesHoldingANulAreRefused) {
    // Windows reads names as C strings: "a\0b" would address "a", and must not.
    rawSet("a", REG_SZ, wideBytes(std::wstring(L"kept") + L'\0'));
    const RegistryKey key = currentUser().open(path_, KeyAccess::ReadWrite);
    ASSERT_TRUE(key.create("kid", KeyAccess::Read).isValid());

    const std::string withNul("a\0b", 3);
    EXPECT_FALSE(key.setString(withNul, "replaced"));
    EXPECT_FALSE(key.setDword(withNul, 1));
    EXPECT_EQ(key.queryString(withNul), "");
    EXPECT_FALSE(key.deleteValue(withNul));
    EXPECT_EQ(rawQuery("a").bytes, wideBytes(std::wstring(L"kept") + L'\0'));

    const std::string kidWithNul("kid\0x", 5);
    EXPECT_FALSE(key.open(kidWithNul, KeyAccess::Read).isValid());
    EXPECT_FALSE(key.create(kidWithNul, KeyAccess::Read).isValid());
    EXPECT_FALSE(key.deleteSubKey(kidWithNul));
    EXPECT_TRUE(rawKeyExists("kid"));
}

TEST_F(RegistryKeyTest, ValueNamesComeInEnumerationOrder) {
    const RegistryKey key = currentUser().open(path_, KeyAccess::ReadWrite);
    ASSERT_TRUE(key.isValid());
    EXPECT_TRUE(key.valueNames().empty());

    // Names around the first buffer's size, well beyond it, and at the registry's limit of
    // 16,383 units; the system reports no larger length for them on every system.
    std::vector<std::string> names = {"Lexmora", "b", "\xC3\xA6\xC3\xB8\xC3\xA5", ""};
    for (size_t length : {1022u, 1023u, 1024u, 2000u, 16383u}) {
        names.push_back(std::string(1, static_cast<char>('c' + names.size())) + std::string(length - 1, 'n'));
    }
    for (const std::string& name : names) ASSERT_TRUE(key.setDword(name, 1)) << name.size();

    // The order the system enumerates in, read directly with room for any name.
    std::vector<std::string> expected;
    {
        std::vector<wchar_t> buffer(16385);
        HKEY raw = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, widen(path_).c_str(), 0, KEY_READ, &raw), ERROR_SUCCESS);
        for (DWORD index = 0;; ++index) {
            DWORD length = static_cast<DWORD>(buffer.size());
            if (RegEnumValueW(raw, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            expected.push_back(narrow(std::wstring(buffer.data(), length)));
        }
        RegCloseKey(raw);
    }
    std::vector<std::string> sortedExpected = expected, sortedNames = names;
    std::sort(sortedExpected.begin(), sortedExpected.end());
    std::sort(sortedNames.begin(), sortedNames.end());
    ASSERT_EQ(sortedExpected, sortedNames) << "every name was stored";

    const std::vector<std::string> listed = key.valueNames();
    ASSERT_EQ(listed.size(), expected.size());
    for (size_t i = 0; i < listed.size(); ++i) EXPECT_EQ(listed[i], expected[i]) << "index " << i;
}

TEST_F(RegistryKeyTest, DeleteSubKeyRemovesOnlyAKeyWithoutSubkeys) {
    const RegistryKey key = currentUser().open(path_, KeyAccess::ReadWrite);
    ASSERT_TRUE(key.create("parent\\child", KeyAccess::Write).setString("v", "x"));

    EXPECT_FALSE(key.deleteSubKey("parent"));
    EXPECT_TRUE(rawKeyExists("parent\\child"));

    EXPECT_FALSE(key.deleteSubKey("missing"));
    // An empty name would have Windows delete the key of the handle itself.
    const RegistryKey parent = key.open("parent", KeyAccess::ReadWrite);
    ASSERT_TRUE(parent.deleteSubKey("child"));
    EXPECT_FALSE(rawKeyExists("parent\\child"));
    EXPECT_FALSE(parent.deleteSubKey(""));
    EXPECT_TRUE(rawKeyExists("parent"));

    EXPECT_TRUE(key.deleteSubKey("parent"));
    EXPECT_FALSE(rawKeyExists("parent"));
}

TEST_F(RegistryKeyTest, InvalidHandleDoesNothing) {
    const RegistryKey missing = currentUser().open(path_ + "\\missing", KeyAccess::ReadWrite);
    const RegistryKey never;
    rawSet("present", REG_SZ, wideBytes(std::wstring(L"here") + L'\0'));

    RegistryWatch watch;
    ASSERT_TRUE(watch.ready());
    for (const RegistryKey* invalid : {&missing, &never}) {
        EXPECT_FALSE(invalid->isValid());
        EXPECT_FALSE(invalid->open("", KeyAccess::Read).isValid());
        EXPECT_FALSE(invalid->create("made", KeyAccess::Write).isValid());
        EXPECT_FALSE(invalid->setString("present", "text"));
        EXPECT_FALSE(invalid->setDword("present", 1));
        EXPECT_EQ(invalid->queryString("present"), "");
        EXPECT_FALSE(invalid->deleteValue("present"));
        EXPECT_FALSE(invalid->deleteSubKey("made"));
        EXPECT_TRUE(invalid->valueNames().empty());
        RegistryKey copy(*invalid);
        EXPECT_FALSE(copy.isValid());
    }
    EXPECT_EQ(watch.calls, 0) << "no call reached Windows";

    EXPECT_EQ(rawQuery("present").bytes, wideBytes(std::wstring(L"here") + L'\0'));
    EXPECT_FALSE(rawKeyExists("missing"));
    EXPECT_FALSE(rawKeyExists("made"));
}

}  // namespace
}  // namespace swiftsetup
