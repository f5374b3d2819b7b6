#include "tests/machine/removal_state.h"

#include "machine/autostart_match.h"
#include "payload/payload_extractor.h"
#include "platform/resource_handle.h"
#include "tests/support/test_support.h"

namespace removaltest {

using namespace testsupport;

size_t entriesInTree(const std::wstring& folder) {
    size_t count = 1;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return count;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        count += (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? entriesInTree(folder + L"\\" + name) : 1;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return count;
}

bool plantInstallation(const std::wstring& installerProgram) {
    const ProductPaths paths = productPaths();
    {
        HMODULE installer = LoadLibraryExW(installerProgram.c_str(), nullptr,
                                           LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        if (installer == nullptr) return false;
        swiftsetup::PayloadExtractor extractor(
            swiftsetup::loadResource(installer, FindResourceW(installer, MAKEINTRESOURCEW(256), MAKEINTRESOURCEW(256))));
        const bool unpacked = extractor.extract(narrow(paths.installFolder), nullptr, 0, 0);
        FreeLibrary(installer);
        if (!unpacked || !fileExists(paths.program) || !fileExists(paths.chatProgram)) return false;
    }
    CopyFileW(installerProgram.c_str(), paths.uninstaller.c_str(), FALSE);
    const std::vector<std::wstring> files = filesBelow(paths.installFolder);
    for (const std::wstring& file : files) {
        const std::wstring path = paths.installFolder + L"\\" + file;
        if (file.find(L".txt") != std::wstring::npos) {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
        } else if (file.find(L".css") != std::wstring::npos) {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        }
    }

    writeValue(kUninstallKey, L"DisplayName", L"Lexmora");
    writeValue(kUninstallKey, L"DisplayVersion", kProductVersion);
    writeValue(kUninstallKey, L"DisplayIcon", paths.program + L",0");
    writeValue(kUninstallKey, L"InstallLocation", paths.installFolder);
    writeValue(kUninstallKey, L"UninstallString", L"\"" + paths.uninstaller + L"\" /uninstall");

    writeValue(kRunKey, L"Lexmora", paths.program);
    writeValue(kRunKey, L"Lexmora (old)", L"\"" + paths.program + L"\" --tray");
    std::wstring upper = paths.program;
    for (wchar_t& c : upper) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    writeValue(kRunKey, L"Lexmora startup", upper);
    writeValue(kRunKey, kForeignRunValue, L"\"C:\\Program Files\\Other\\other.exe\" --quiet");

    CreateDirectoryW(paths.shortcutFolder.c_str(), nullptr);
    return makeShortcut(paths.programShortcut, paths.program) && makeShortcut(paths.chatShortcut, paths.chatProgram);
}

std::vector<std::unique_ptr<RunningProgram>> startPlantedPrograms() {
    const ProductPaths paths = productPaths();
    std::vector<std::unique_ptr<RunningProgram>> programs;
    programs.push_back(
        std::make_unique<RunningProgram>(L"\"" + paths.program + L"\" --safe-mode", L"LexmoraSampleWindow"));
    programs.push_back(std::make_unique<RunningProgram>(L"\"" + paths.chatProgram + L"\"", L"ParlavoSampleWindow"));
    return programs;
}

std::vector<std::wstring> runValuesStartingProgram(const std::wstring& program) {
    std::vector<std::wstring> matching;
    const std::string folded = swiftsetup::lowerAscii(narrow(program));
    for (const std::wstring& name : valueNamesInOrder(kRunKey)) {
        const std::optional<std::wstring> data = readString(kRunKey, name);
        if (data && swiftsetup::commandStartsProgram(narrow(*data), folded)) matching.push_back(name);
    }
    return matching;
}

void resetRemovalState() {
    resetProductState();
    for (const std::wstring& name : runValuesStartingProgram(L"\\lexmora.exe")) deleteValue(kRunKey, name);
    deleteValue(kRunKey, kForeignRunValue);
    deleteValue(kRunKey, L"Lexmora there");
}

}  // namespace removaltest
