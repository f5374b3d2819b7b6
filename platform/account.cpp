#include "platform/account.h"

#include <windows.h>
#include <sddl.h>

#include <cstddef>

#include "platform/handles.h"
#include "platform/text_conversion.h"
#include "text/digits.h"

namespace swiftsetup {
namespace {

UniqueHandle processToken() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    return UniqueHandle(token);
}

std::string number(unsigned long value) { return digitsOf(value); }

// What GetTokenInformation fills, as documented for both builds.
static_assert(sizeof(TOKEN_ELEVATION) == 4);
static_assert(offsetof(TOKEN_USER, User) == 0 && sizeof(SID_AND_ATTRIBUTES) == 2 * sizeof(void*));

}  // namespace

std::wstring accountSid() {
    const UniqueHandle token = processToken();
    if (!token) return {};
    alignas(TOKEN_USER) unsigned char user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    wchar_t* text = nullptr;
    if (!GetTokenInformation(token.get(), TokenUser, user, sizeof(user), &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &text)) {
        return {};
    }
    const LocalMemory owned(text);
    return text;
}

AccountFacts accountFacts() {
    AccountFacts facts;
    wchar_t name[257];  // UNLEN + 1
    DWORD length = 257;
    if (GetUserNameW(name, &length)) facts.name = wideToUtf8(name, -1);
    facts.sid = wideToUtf8(accountSid().c_str(), -1);
    if (const UniqueHandle token = processToken()) {
        TOKEN_ELEVATION elevation{};
        DWORD size = 0;
        facts.elevated = GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size) &&
                         elevation.TokenIsElevated != 0;
    }
    return facts;
}

std::string windowsVersion() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(&info)) return "unknown";
    std::string version = number(info.dwMajorVersion) + "." + number(info.dwMinorVersion) + "." + number(info.dwBuildNumber);
    const std::string servicePack = wideToUtf8(info.szCSDVersion, -1);
    return servicePack.empty() ? version : version + " " + servicePack;
}

}  // namespace swiftsetup
