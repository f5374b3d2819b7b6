// hold_lock_names <ready file> <milliseconds>
//
// Takes both names of the installers' lock, as a run of another account would: made with a
// security that grants only the system, so that the user's own programs may not open them. Writes
// the ready file once it holds them, holds them for the given time, then exits with 0. Exit code
// 1: a name could not be made (one already there); 0x7FFFFFF0: the arguments could not be read.
#include <windows.h>
#include <sddl.h>

#include "tests/helpers/helper_arguments.h"

namespace {

std::wstring userSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    alignas(TOKEN_USER) unsigned char user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    wchar_t* text = nullptr;
    std::wstring sid;
    if (GetTokenInformation(token, TokenUser, user, sizeof(user), &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &text)) {
        sid = text;
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

}  // namespace

int main() {
    const std::vector<std::wstring> arguments = helpers::arguments();
    const std::optional<uint32_t> hold = arguments.size() == 2 ? helpers::parseNumber(arguments[1]) : std::nullopt;
    if (!hold) ExitProcess(0x7FFFFFF0);
    void* descriptor = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;GA;;;SY)", SDDL_REVISION_1, &descriptor, nullptr);
    SECURITY_ATTRIBUTES security{sizeof(security), descriptor, FALSE};
    for (const std::wstring& name : {L"Global\\Lexmora Installer " + userSid(), std::wstring(L"Local\\Lexmora Installer")}) {
        HANDLE mutex = CreateMutexW(&security, TRUE, name.c_str());
        if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) ExitProcess(1);
    }
    if (!helpers::publishFile(arguments[0], "holding")) ExitProcess(1);
    Sleep(*hold);
    ExitProcess(0);
}
