// The program's path, file sizes and shell folders, on the file system and registry of the test
// prefix. Paths longer than MAX_PATH cannot be started from inside Wine (CreateProcessW refuses
// them), so that case is a separate test that starts the probe from the Linux side
// (long_module_path.cmake).
#include "platform/file_facts.h"
#include "platform/paths.h"

#include <windows.h>
#include <shlobj.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace swiftsetup {
namespace {

using testsupport::narrow;
using testsupport::TemporaryFolder;
using testsupport::widen;

const std::wstring kDanishLetters = L"\u00E6\u00F8\u00E5\u00C6\u00D8\u00C5";  // æøåÆØÅ

std::wstring quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

TEST(ModulePath, IsThisProgramsOwnPath) {
    std::vector<wchar_t> buffer(32768);
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    ASSERT_GT(length, 0u);
    EXPECT_EQ(modulePath(), narrow(std::wstring(buffer.data(), length)));
    EXPECT_EQ(modulePath(), narrow(testsupport::besideModule(L"platform.paths.exe")));
}

// A copy of the probe in a folder with Danish letters whose program path is exactly 259 units,
// the longest that fits the first buffer, and in a short one.
TEST(ModulePath, ReportsAProgramInADanishFolderWhole) {
    TemporaryFolder temporary;
    const std::wstring report = temporary / L"report.txt";
    const std::wstring shortFolder = temporary / (L"Ordb\u00F8ger " + kDanishLetters);
    ASSERT_TRUE(CreateDirectoryW(shortFolder.c_str(), nullptr));

    std::wstring longFolder = shortFolder;
    const std::wstring programName = L"\\probe.exe";
    const size_t target = MAX_PATH - 1;
    while (longFolder.size() + 1 + 20 + programName.size() < target) {
        longFolder += L"\\mappe-" + kDanishLetters + L"-0123456";
        ASSERT_TRUE(CreateDirectoryW(longFolder.c_str(), nullptr));
    }
    longFolder += L"\\" + std::wstring(target - longFolder.size() - 1 - programName.size(), L'p');
    ASSERT_TRUE(CreateDirectoryW(longFolder.c_str(), nullptr));
    ASSERT_EQ((longFolder + programName).size(), target);

    for (const std::wstring& folder : {shortFolder, longFolder}) {
        const std::wstring program = folder + programName;
        ASSERT_TRUE(CopyFileW(testsupport::besideModule(L"platform_probe.exe").c_str(), program.c_str(), FALSE));
        DeleteFileW(report.c_str());
        EXPECT_EQ(testsupport::runAndWait(quoted(program) + L" module-path " + quoted(report)), 0u);
        EXPECT_EQ(testsupport::readFile(report), narrow(program));
    }
}

// Makes a file of the given size without writing its bytes.
bool makeSparseFile(const std::wstring& path, int64_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    const bool sparse = DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = size;
    const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return sparse && sized;
}

TEST(FileSize, CountsEveryByteToSixtyFourBits) {
    TemporaryFolder temporary;
    const std::wstring small = temporary / (L"lille " + kDanishLetters + L".txt");
    ASSERT_TRUE(testsupport::writeFile(small, "12345"));
    EXPECT_EQ(fileSize(narrow(small)), 5u);

    const std::wstring empty = temporary / L"empty.txt";
    ASSERT_TRUE(testsupport::writeFile(empty, ""));
    EXPECT_EQ(fileSize(narrow(empty)), 0u);

    // Wine makes these sparse (FSCTL_SET_SPARSE succeeds and the host file system allocates
    // nothing), so five gigabytes cost no disk space.
    for (const int64_t size : {0xFFFFFFFFll, 0x100000000ll, 5ll * 1024 * 1024 * 1024 + 123}) {
        const std::wstring big = temporary / L"big.bin";
        ASSERT_TRUE(makeSparseFile(big, size)) << size;
        EXPECT_EQ(fileSize(narrow(big)), static_cast<uint64_t>(size));
        DeleteFileW(big.c_str());
    }
}

TEST(FileSize, IsZeroForWhatCannotBeOpenedAsAFile) {
    TemporaryFolder temporary;
    EXPECT_EQ(fileSize(narrow(temporary / L"missing.txt")), 0u);
    EXPECT_EQ(fileSize(narrow(temporary / L"missing-folder\\missing.txt")), 0u);
    EXPECT_EQ(fileSize(narrow(temporary.path())), 0u) << "a folder";
    EXPECT_EQ(fileSize(""), 0u);
}

TEST(FileSize, KnowsTheSizeOfAFileThatIsBeingWritten) {
    TemporaryFolder temporary;
    const std::wstring path = temporary / L"growing.log";
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(writer, "0123456789", 10, &written, nullptr));
    EXPECT_EQ(fileSize(narrow(path)), 10u);
    CloseHandle(writer);

    // Even a file that its writer shares with no one: only its attributes are asked for.
    HANDLE exclusive = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(WriteFile(exclusive, "01234567890123456789", 20, &written, nullptr));
    EXPECT_EQ(fileSize(narrow(path)), 20u);
    CloseHandle(exclusive);
}

// Points one user shell folder somewhere else for the life of the object, and puts back both
// registry values that Windows keeps for it afterwards.
class ShellFolderRedirect {
public:
    ShellFolderRedirect(const wchar_t* valueName, const std::wstring& target) : valueName_(valueName) {
        for (int i = 0; i < 2; ++i) {
            saved_[i] = read(kKeys[i]);
            write(kKeys[i], REG_EXPAND_SZ, target);
        }
    }
    ~ShellFolderRedirect() {
        for (int i = 0; i < 2; ++i) {
            if (saved_[i]) {
                write(kKeys[i], saved_[i]->first, saved_[i]->second);
            } else {
                RegDeleteKeyValueW(HKEY_CURRENT_USER, kKeys[i], valueName_);
            }
        }
    }
    ShellFolderRedirect(const ShellFolderRedirect&) = delete;
    ShellFolderRedirect& operator=(const ShellFolderRedirect&) = delete;

private:
    static constexpr const wchar_t* kKeys[2] = {
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"};

    std::optional<std::pair<DWORD, std::wstring>> read(const wchar_t* key) const {
        wchar_t buffer[2048] = L"";
        DWORD size = sizeof(buffer) - sizeof(wchar_t);
        DWORD type = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, key, valueName_, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ |
                         RRF_NOEXPAND, &type, buffer, &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        return std::make_pair(type, std::wstring(buffer));
    }
    void write(const wchar_t* key, DWORD type, const std::wstring& text) const {
        RegSetKeyValueW(HKEY_CURRENT_USER, key, valueName_, type, text.c_str(),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

    const wchar_t* valueName_;
    std::optional<std::pair<DWORD, std::wstring>> saved_[2];
};

TEST(ShellFolderPath, GivesTheFolderTheSystemReports) {
    wchar_t expected[MAX_PATH] = L"";
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, expected), S_OK);
    EXPECT_EQ(shellFolderPath(CSIDL_LOCAL_APPDATA), narrow(expected));
    EXPECT_TRUE(testsupport::folderExists(expected));
    EXPECT_FALSE(shellFolderPath(CSIDL_STARTMENU).empty());

    // A folder with Danish letters comes back as UTF-8.
    TemporaryFolder temporary;
    const std::wstring danish = temporary / (L"Skabeloner " + kDanishLetters);
    ASSERT_TRUE(CreateDirectoryW(danish.c_str(), nullptr));
    ShellFolderRedirect redirect(L"Templates", danish);
    EXPECT_EQ(shellFolderPath(CSIDL_TEMPLATES), narrow(danish));
}

// The user's templates folder is pointed at a folder that does not exist: the system knows the
// path, but the folder is not there, and it must stay that way. (A folder that Wine simply lacks,
// such as CSIDL_CDBURN_AREA's, shows the same; the redirection does not depend on what Wine
// happens to create in a new prefix.)
TEST(ShellFolderPath, IsEmptyForAMissingFolderAndCreatesNothing) {
    TemporaryFolder temporary;
    const std::wstring missing = temporary / L"no templates here";
    ShellFolderRedirect redirect(L"Templates", missing);

    wchar_t reported[MAX_PATH] = L"";
    const HRESULT systemResult = SHGetFolderPathW(nullptr, CSIDL_TEMPLATES, nullptr, SHGFP_TYPE_CURRENT, reported);
    EXPECT_NE(systemResult, S_OK) << "the system reports the folder missing";

    EXPECT_EQ(shellFolderPath(CSIDL_TEMPLATES), "");
    EXPECT_EQ(shellFolderPath(CSIDL_TEMPLATES | CSIDL_FLAG_CREATE), "") << "never created here";
    EXPECT_FALSE(testsupport::folderExists(missing));
    EXPECT_FALSE(testsupport::fileExists(missing));

    EXPECT_EQ(shellFolderPath(0xFF), "") << "no such CSIDL";
}

}  // namespace
}  // namespace swiftsetup
