#pragma once
// Helpers shared by the Windows test programs.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace testsupport {

// Folder of the running test program (where every test program and helper is built), no
// trailing backslash.
std::wstring moduleDirectory();

// Full path of a program or file beside the running test program.
std::wstring besideModule(const std::wstring& fileName);

// The installer program that end-to-end tests run: the shipped build's, copied beside the test
// programs (lexmora-setup-x86.exe, or the 64-bit twin where 32-bit programs cannot run).
std::wstring installerUnderTest();

// A 64-bit program beside a 32-bit test build's programs (the twin build's sample application and
// product probe, in the folder "x64"); empty in a 64-bit test build, which has no such folder.
std::wstring x64Program(const std::wstring& fileName);

// Starts a command line and waits up to timeoutMs; the exit code, or nothing when the program
// could not be started or did not end in time (it is then terminated).
std::optional<uint32_t> runAndWait(const std::wstring& commandLine, uint32_t timeoutMs = 120000);

// A folder below the system's temporary folder that is deleted with everything in it when the
// object goes out of scope.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// The offset of the n-th chunk (from 0) of a kind in a payload, by its framing; npos when there
// is none.
size_t chunkOffset(const std::string& payload, uint8_t kind, size_t n);

// A copy of an installer program, in the folder, whose payload has been changed by damage, as a
// broken download would be.
std::wstring damagedCopy(const std::wstring& installer, const TemporaryFolder& folder,
                         const std::function<void(std::string& payload)>& damage);

// Deletes a folder and everything below it (test clean-up; follows no links).
void deleteTree(const std::wstring& folder);

// Writes bytes to a file, creating or truncating it. True on success.
bool writeFile(const std::wstring& path, const std::string& bytes);

// Reads a whole file; nothing when it cannot be opened.
std::optional<std::string> readFile(const std::wstring& path);

bool fileExists(const std::wstring& path);
bool folderExists(const std::wstring& path);
// The names in a folder, "." and ".." left out, in the listing's order.
std::vector<std::wstring> namesIn(const std::wstring& folder);

// UTF-8 <-> UTF-16 for test code that is not itself under test.
std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);

}  // namespace testsupport
