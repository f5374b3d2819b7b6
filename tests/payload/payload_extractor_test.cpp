// PayloadExtractor under Wine, through real resources of this program (type 256; name 256 is a
// payload that lexmora-payload packed, the other names are payloads of broken or hardened shapes).
// Run under three user locales; --expect=da|de|en names the language the error texts must have,
// --threads=N how many threads inflate (0: as many as the installer would use).
#include "payload/payload_extractor.h"

#include <windows.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/resource_handle.h"
#include "platform/text_conversion.h"
#include "tests/payload/allocation_tracker.h"
#include "tests/payload/extractor_fixture_files.h"
#include "tests/payload/payload_bytes.h"
#include "tests/support/platform_import_hook.h"
#include "tests/support/test_support.h"
#include "text/catalogue.h"
#include "platform/user_language.h"

namespace swiftsetup {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testsupport::TemporaryFolder;

std::string expectedLanguage;
unsigned inflatingThreads = 0;

// Resource names of the payloads this program carries (tests/payload/CMakeLists.txt).
enum Fixture : uint16_t {
    Good = 256,
    StrayBytes = 301,
    ChunkPastEnd = 302,
    DataBeforeFile = 303,
    ShortDataChunk = 304,
    BadChecksum = 305,
    PathParent = 306,
    PathDrive = 307,
    PathRooted = 308,
    HugeSize = 309,
    HugeSizeDamaged = 310,
    Empty = 311,
    Separators = 312,
    LateDamage = 313,
};

HRSRC resource(uint16_t name) {
    return FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(name), MAKEINTRESOURCEW(256));
}

// An extractor of one of this program's payloads, with the threads of this run.
class Extractor : public PayloadExtractor {
public:
    explicit Extractor(uint16_t name) : PayloadExtractor(loadResource(GetModuleHandleW(nullptr), resource(name))) {
        setThreadCount(inflatingThreads);
    }
};

// The payload's bytes, read the ordinary way, to know where its chunks end.
std::string resourceBytes(uint16_t name) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = resource(name);
    const void* data = LockResource(LoadResource(module, found));
    return std::string(static_cast<const char*>(data), SizeofResource(module, found));
}

// Every progress report of an extraction, in order.
class RecordingProgress {
public:
    ProgressReport report() {
        return [this](uint32_t position, uint32_t total) { reports.emplace_back(position, total); };
    }

    std::vector<std::pair<uint32_t, uint32_t>> reports;
};

// The failure as the user reads it after the step's message.
std::string errorText(const PayloadExtractor& extractor) {
    const Failure& failure = extractor.failure();
    return failureReason(failure, userLanguage(), systemErrorText(failure.systemError));
}

// What the program writes to the debugger output, caught on its way there: OutputDebugString
// raises an exception that a vectored handler sees first.
class DebugOutput {
public:
    DebugOutput() {
        lines_ = &captured_;
        handler_ = AddVectoredExceptionHandler(1, &DebugOutput::handler);
    }
    ~DebugOutput() {
        RemoveVectoredExceptionHandler(handler_);
        lines_ = nullptr;
    }
    const std::vector<std::wstring>& lines() const { return captured_; }

private:
    static LONG CALLBACK handler(EXCEPTION_POINTERS* pointers) {
        const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
        if (lines_ == nullptr || record->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
        if (record->ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C) {
            lines_->emplace_back(reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]));
            wideSeen_ = true;
        } else if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && !wideSeen_) {
            lines_->push_back(testsupport::widen(reinterpret_cast<const char*>(record->ExceptionInformation[1])));
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }
    static inline std::vector<std::wstring>* lines_ = nullptr;
    static inline bool wideSeen_ = false;
    std::vector<std::wstring> captured_;
    void* handler_ = nullptr;
};

std::wstring windowsPath(const std::wstring& folder, const std::string& payloadPath) {
    std::wstring path = folder + L"\\" + testsupport::widen(payloadPath);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

std::string targetOf(const TemporaryFolder& folder, const wchar_t* below = L"Apps\\Lexmora 3") {
    return testsupport::narrow(folder / below);
}

// Compares without printing the bytes, which are mostly binary.
void expectHolds(const std::wstring& path, const std::string& expected) {
    const std::optional<std::string> actual = testsupport::readFile(path);
    ASSERT_TRUE(actual.has_value()) << testsupport::narrow(path) << " is missing";
    EXPECT_TRUE(*actual == expected) << testsupport::narrow(path) << " holds " << actual->size()
                                     << " bytes that differ from the " << expected.size() << " expected";
}

void expectGoodTree(const std::wstring& target) {
    for (const auto& file : payloadtest::fixtureFiles()) {
        expectHolds(windowsPath(target, file.path), payloadtest::fixtureContents(file.path, file.size));
    }
}

Language language() {
    if (expectedLanguage == "da") return Language::Danish;
    if (expectedLanguage == "de") return Language::German;
    return Language::English;
}

TEST(PayloadExtractor, UnpacksEveryFileWithProgressAfterEveryChunk) {
    ASSERT_FALSE(expectedLanguage.empty()) << "run with --expect=da|de|en";
    TemporaryFolder folder;
    const std::string target = targetOf(folder);  // two levels that do not exist yet
    Extractor extractor(Good);
    const std::string payload = resourceBytes(Good);
    ASSERT_EQ(extractor.payloadSize(), payload.size());

    RecordingProgress frontEnd;
    DebugOutput debug;
    ASSERT_TRUE(extractor.extract(target, frontEnd.report(), 1000, 5000)) << errorText(extractor);
    EXPECT_EQ(extractor.failure().systemError, 0u);
    EXPECT_EQ(extractor.failure().reasonKey, nullptr);
    expectGoodTree(testsupport::widen(target));

    // One report before the first chunk, one after each: positions count payload bytes from the
    // base, totals are the payload's size plus the extra.
    const uint32_t total = 5000 + extractor.payloadSize();
    std::vector<std::pair<uint32_t, uint32_t>> expected = {{1000, total}};
    for (const uint32_t end : payloadtest::chunkEnds(payload)) expected.emplace_back(1000 + end, total);
    EXPECT_EQ(frontEnd.reports, expected);
    EXPECT_EQ(frontEnd.reports.size(), 1 + 1 + 1 + 7 + 7) << "version, digest, seven files, seven blocks' worth";
    EXPECT_EQ(frontEnd.reports.back().first, 1000 + extractor.payloadSize());

    // The debugger output names every file as it is created: its full path, then a line break.
    std::vector<std::wstring> lines;
    for (const auto& file : payloadtest::fixtureFiles()) {
        lines.push_back(windowsPath(testsupport::widen(target), file.path));
        lines.push_back(L"\r\n");
    }
    EXPECT_THAT(debug.lines(), ElementsAreArray(lines));

    // No file stays open: each can be opened without sharing now.
    for (const auto& file : payloadtest::fixtureFiles()) {
        HANDLE handle = CreateFileW(windowsPath(testsupport::widen(target), file.path).c_str(), GENERIC_READ, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(handle, INVALID_HANDLE_VALUE) << file.path;
        CloseHandle(handle);
    }
}

TEST(PayloadExtractor, ProgressWrapsInThirtyTwoBitsAndANullFrontEndHearsNothing) {
    TemporaryFolder folder;
    Extractor extractor(Good);
    RecordingProgress frontEnd;
    ASSERT_TRUE(extractor.extract(targetOf(folder), frontEnd.report(), 0xFFFFFFF0u, 0xFFFFFFFFu));
    EXPECT_EQ(frontEnd.reports.front(), std::make_pair(0xFFFFFFF0u, extractor.payloadSize() - 1));
    EXPECT_EQ(frontEnd.reports.back().first, extractor.payloadSize() - 0x10u);

    TemporaryFolder other;
    Extractor quiet(Good);
    ASSERT_TRUE(quiet.extract(targetOf(other), nullptr, 0, 0));
    expectGoodTree(other / L"Apps\\Lexmora 3");
}

TEST(PayloadExtractor, EmptyPayloadReportsOnceAndCreatesNothing) {
    TemporaryFolder folder;
    Extractor extractor(Empty);
    RecordingProgress frontEnd;
    ASSERT_TRUE(extractor.extract(targetOf(folder), frontEnd.report(), 7, 9));
    EXPECT_EQ(extractor.payloadSize(), 0u);
    EXPECT_THAT(frontEnd.reports, ElementsAre(std::make_pair(7u, 9u)));
    EXPECT_FALSE(testsupport::folderExists(folder / L"Apps"));
}

TEST(PayloadExtractor, ExtractingAgainRewritesFilesInPlaceAndLeavesOthersAlone) {
    TemporaryFolder folder;
    const std::wstring target = folder / L"Lexmora";
    CreateDirectoryW(target.c_str(), nullptr);
    ASSERT_TRUE(testsupport::writeFile(target + L"\\lexmora.exe", std::string(200000, 'o')));
    ASSERT_TRUE(testsupport::writeFile(target + L"\\settings.ini", "mine"));
    Extractor extractor(Good);
    ASSERT_TRUE(extractor.extract(testsupport::narrow(target), nullptr, 0, 0));
    ASSERT_TRUE(extractor.extract(testsupport::narrow(target), nullptr, 0, 0)) << "each walk starts afresh";
    expectGoodTree(target);
    EXPECT_EQ(testsupport::readFile(target + L"\\settings.ini"), "mine");
}

TEST(PayloadExtractor, FileHeldOpenWithoutSharingStopsTheExtractionWithTheSystemsText) {
    TemporaryFolder folder;
    const std::wstring target = folder / L"Lexmora";
    const std::wstring locked = target + L"\\first\\second\\mid.txt";
    CreateDirectoryW(target.c_str(), nullptr);
    CreateDirectoryW((target + L"\\first").c_str(), nullptr);
    CreateDirectoryW((target + L"\\first\\second").c_str(), nullptr);
    ASSERT_TRUE(testsupport::writeFile(locked, "in use"));
    HANDLE holder = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    Extractor extractor(Good);
    RecordingProgress frontEnd;
    EXPECT_FALSE(extractor.extract(testsupport::narrow(target), frontEnd.report(), 0, 0));
    CloseHandle(holder);
    // The system's text, then the file in the way on a line of its own.
    EXPECT_EQ(errorText(extractor), systemErrorTextAt(ERROR_SHARING_VIOLATION, testsupport::narrow(locked)));
    EXPECT_NE(systemErrorText(ERROR_SHARING_VIOLATION), "");

    // The files before it are complete, the locked one unchanged, the later ones never made; the
    // progress stops at the chunk before the one that failed.
    for (const auto& file : payloadtest::fixtureFiles()) {
        const std::wstring path = windowsPath(target, file.path);
        if (file.path == "first/second/mid.txt") break;
        expectHolds(path, payloadtest::fixtureContents(file.path, file.size));
    }
    EXPECT_EQ(testsupport::readFile(locked), "in use");
    EXPECT_FALSE(testsupport::fileExists(target + L"\\first\\second\\third\\deep.txt"));
    const std::string payload = resourceBytes(Good);
    const size_t lockedChunk = payload.find("first/second/mid.txt") - 4;
    EXPECT_EQ(frontEnd.reports.back().first, lockedChunk);
}

TEST(PayloadExtractor, PathLevelThatIsAFileIsNamedAndLeftAlone) {
    TemporaryFolder folder;
    const std::wstring target = folder / L"Lexmora";
    CreateDirectoryW(target.c_str(), nullptr);
    ASSERT_TRUE(testsupport::writeFile(target + L"\\first", "a file, not a folder"));
    Extractor extractor(Good);
    EXPECT_FALSE(extractor.extract(testsupport::narrow(target), nullptr, 0, 0));
    EXPECT_EQ(errorText(extractor), systemErrorTextAt(ERROR_FILE_EXISTS, testsupport::narrow(target + L"\\first")));
    EXPECT_EQ(testsupport::readFile(target + L"\\first"), "a file, not a folder");
    EXPECT_TRUE(testsupport::fileExists(target + L"\\empty.dat"));
}

// Every broken shape stops the walk with its reason and its text in the user's language, and
// keeps what came before it.
TEST(PayloadExtractor, BrokenPayloadsFailWithTheirTextInTheUsersLanguage) {
    ASSERT_FALSE(expectedLanguage.empty()) << "run with --expect=da|de|en";
    struct Case {
        Fixture fixture;
        const char* key;
        bool keepsFirstFile;
    };
    const std::vector<Case> cases = {
        {StrayBytes, "#extractor_invalid_chunk_error", true},
        {ChunkPastEnd, "#extractor_invalid_chunk_size", true},
        {DataBeforeFile, "#extractor_unexpected_data_chunk", false},
        {ShortDataChunk, "#extractor_invalid_data_chunk", true},
        {BadChecksum, "#extractor_decompression_failed", true},
        {PathParent, "#extractor_invalid_path", true},
        {PathDrive, "#extractor_invalid_path", true},
        {PathRooted, "#extractor_invalid_path", true},
        {HugeSizeDamaged, "#extractor_decompression_failed", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key + std::string(" in fixture ") + std::to_string(c.fixture));
        TemporaryFolder folder;
        const std::wstring target = folder / L"inner\\target";
        Extractor extractor(c.fixture);
        RecordingProgress frontEnd;
        DebugOutput debug;
        EXPECT_FALSE(extractor.extract(testsupport::narrow(target), frontEnd.report(), 0, 0));
        EXPECT_STREQ(extractor.failure().reasonKey, c.key);
        EXPECT_EQ(errorText(extractor), translate(c.key));
        EXPECT_STREQ(errorText(extractor).c_str(), lookup(language(), c.key)) << "in the user's language";
        if (c.keepsFirstFile) {
            EXPECT_EQ(testsupport::readFile(target + L"\\kept.txt"), "kept");
        }
        // No report for the chunk that failed.
        EXPECT_LT(frontEnd.reports.back().first, extractor.payloadSize());
        // Nothing outside the target folder, and no file named by a path that was refused.
        EXPECT_FALSE(testsupport::fileExists(folder / L"inner\\escape.txt"));
        EXPECT_FALSE(testsupport::fileExists(L"C:\\escape.txt"));
        EXPECT_FALSE(testsupport::fileExists(target + L"\\escape.txt"));
        for (const std::wstring& line : debug.lines()) EXPECT_EQ(line.find(L"escape"), std::wstring::npos);
    }
    // The partly written file of a block that fails is closed, with the blocks before it.
    TemporaryFolder folder;
    Extractor extractor(BadChecksum);
    EXPECT_FALSE(extractor.extract(testsupport::narrow(folder.path()), nullptr, 0, 0));
    HANDLE partial = CreateFileW((folder / L"partial.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(partial, INVALID_HANDLE_VALUE);
    CloseHandle(partial);
    EXPECT_EQ(testsupport::readFile(folder / L"partial.txt"), "first block ");
}

// Far more blocks than threads before a damaged one: the blocks inflated ahead change nothing. The
// files before it are whole, the one it belongs to holds the blocks before it, nothing comes after.
// A file that cannot be created before it (held open without sharing) is what is reported.
TEST(PayloadExtractor, FaultsBehindBlocksInflatedAheadAreReportedAsWithoutThreads) {
    const std::string payload = resourceBytes(LateDamage);
    const std::vector<uint32_t> ends = payloadtest::chunkEnds(payload);
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "held file" : "damaged block");
        TemporaryFolder folder;
        const std::wstring target = folder / L"Lexmora";
        CreateDirectoryW(target.c_str(), nullptr);
        ASSERT_TRUE(testsupport::writeFile(target + L"\\held.txt", "in use"));
        HANDLE holder = held ? CreateFileW((target + L"\\held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                           0, nullptr)
                             : INVALID_HANDLE_VALUE;
        Extractor extractor(LateDamage);
        RecordingProgress frontEnd;
        DebugOutput debug;
        EXPECT_FALSE(extractor.extract(testsupport::narrow(target), frontEnd.report(), 0, 0));
        if (held) CloseHandle(holder);
        expectHolds(target + L"\\many.bin", payloadtest::fixtureContents("many.bin", 24 * 65536));
        EXPECT_FALSE(testsupport::fileExists(target + L"\\never.txt"));
        std::vector<std::wstring> lines = {target + L"\\many.bin", L"\r\n", target + L"\\held.txt", L"\r\n"};
        if (held) {
                    EXPECT_EQ(errorText(extractor),
                      systemErrorTextAt(ERROR_SHARING_VIOLATION, testsupport::narrow(target + L"\\held.txt")));
            EXPECT_EQ(testsupport::readFile(target + L"\\held.txt"), "in use");
            EXPECT_FALSE(testsupport::fileExists(target + L"\\more.bin"));
            EXPECT_EQ(frontEnd.reports.back().first, ends[25]) << "the last block of many.bin";
        } else {
            EXPECT_STREQ(extractor.failure().reasonKey, "#extractor_decompression_failed");
            EXPECT_EQ(errorText(extractor), translate("#extractor_decompression_failed"));
            EXPECT_EQ(testsupport::readFile(target + L"\\held.txt"), "held");
            expectHolds(target + L"\\more.bin", payloadtest::fixtureContents("more.bin", 8 * 65536));
            EXPECT_EQ(frontEnd.reports.back().first, ends[ends.size() - 4]) << "the block before the damaged one";
            lines.insert(lines.end(), {target + L"\\more.bin", L"\r\n"});
        }
        EXPECT_THAT(debug.lines(), ElementsAreArray(lines));
    }
}

// FlushFileBuffers as the program calls it: counted, and failing for the file whose path ends in
// `failing` when one is named.
struct FlushWatch {
    static BOOL WINAPI flush(HANDLE file) {
        InterlockedIncrement(&calls);
        wchar_t path[1024];
        const DWORD length = GetFinalPathNameByHandleW(file, path, 1024, 0);
        if (failing != nullptr && length < 1024 && std::wstring_view(path, length).ends_with(failing)) {
            SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
        return original(file);
    }
    static inline volatile LONG calls = 0;
    static inline const wchar_t* failing = nullptr;
    static inline BOOL(WINAPI* original)(HANDLE) = nullptr;
};

HANDLE WINAPI refuseThread(SECURITY_ATTRIBUTES*, SIZE_T, LPTHREAD_START_ROUTINE, void*, DWORD, DWORD*) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

// Success means every file reached the disk: each is flushed once, before it counts as written.
// One that cannot be flushed is a write failure of that file, reported in its place in payload
// order: before a damaged block that comes later.
TEST(PayloadExtractor, EveryFileIsFlushedAndOneThatCannotBeIsAWriteFailureInItsPlace) {
    testsupport::ImportHook hook("kernel32.dll", "FlushFileBuffers", reinterpret_cast<void*>(&FlushWatch::flush));
    ASSERT_TRUE(hook.installed());
    FlushWatch::original = hook.originalAs<BOOL(WINAPI*)(HANDLE)>();
    // The same when no thread can be made: everything is then done on the calling thread.
    for (const bool threads : {true, false}) {
        for (const bool flush : {true, false}) {
            SCOPED_TRACE(std::string(threads ? "threads" : "no thread can start") + (flush ? ", flushed" : ""));
            std::optional<testsupport::ImportHook> refused;
            if (!threads) refused.emplace("kernel32.dll", "CreateThread", reinterpret_cast<void*>(&refuseThread));
            ASSERT_TRUE(threads || refused->installed());
            TemporaryFolder folder;
            Extractor extractor(Good);
            extractor.setFlushFiles(flush);
            FlushWatch::calls = 0;
            ASSERT_TRUE(extractor.extract(targetOf(folder), nullptr, 0, 0)) << errorText(extractor);
            const LONG calls = FlushWatch::calls;
            EXPECT_EQ(calls, flush ? static_cast<LONG>(payloadtest::fixtureFiles().size()) : 0);
            expectGoodTree(folder / L"Apps\\Lexmora 3");
        }
    }

    TemporaryFolder folder;
    Extractor extractor(LateDamage);
    FlushWatch::failing = L"\\many.bin";
    EXPECT_FALSE(extractor.extract(testsupport::narrow(folder.path()), nullptr, 0, 0));
    FlushWatch::failing = nullptr;
    EXPECT_EQ(errorText(extractor), systemErrorTextAt(ERROR_DISK_FULL, testsupport::narrow(folder / L"many.bin")));
    expectHolds(folder / L"many.bin", payloadtest::fixtureContents("many.bin", 24 * 65536));
}

TEST(PayloadExtractor, AbsurdDeclaredSizeCostsNothingAndStillUnpacks) {
    // A block that says it inflates to 0xFFFFFFFF bytes: the stream of "hello" is all there is,
    // and no request comes near the size the field claims.
    TemporaryFolder folder;
    Extractor extractor(HugeSize);
    allocationtracker::reset();
    ASSERT_TRUE(extractor.extract(testsupport::narrow(folder.path()), nullptr, 0, 0)) << errorText(extractor);
    EXPECT_LT(allocationtracker::largestRequest(), 64u * 1024u);
    EXPECT_EQ(testsupport::readFile(folder / L"huge.txt"), "hello");

    // A good payload asks for one block's buffer for each block it may hold at once (one per
    // inflating thread and the one being written; one alone when the writing thread inflates them
    // all), whatever its size.
    TemporaryFolder other;
    Extractor good(Good);
    const size_t blocks = good.threadCount() > 1 ? good.threadCount() + 1 : 1;
    allocationtracker::reset();
    const size_t before = allocationtracker::current();
    ASSERT_TRUE(good.extract(testsupport::narrow(other.path()), nullptr, 0, 0));
    EXPECT_EQ(allocationtracker::largestRequest(), 65536u);
    EXPECT_LT(allocationtracker::peak() - before, (blocks + 1) * 65536u);
}

TEST(PayloadExtractor, SlashesAndBackslashesNameTheSameFolders) {
    TemporaryFolder folder;
    DebugOutput debug;
    Extractor extractor(Separators);
    ASSERT_TRUE(extractor.extract(testsupport::narrow(folder.path()), nullptr, 0, 0));
    EXPECT_EQ(testsupport::readFile(folder / L"a\\b\\slash.txt"), "slash");
    EXPECT_EQ(testsupport::readFile(folder / L"a\\b\\backslash.txt"), "backslash");
    EXPECT_THAT(debug.lines(), ElementsAre(folder / L"a\\b\\slash.txt", L"\r\n", folder / L"a\\b\\backslash.txt", L"\r\n"));
}

TEST(PayloadExtractor, ResourceThatCannotBeLoadedFailsAtOnceWithTheSystemsText) {
    // A module without a resource section cannot load a resource, whatever handle it is given.
    HMODULE library = LoadLibraryW(testsupport::besideModule(L"payload_no_resources.dll").c_str());
    ASSERT_NE(library, nullptr);
    PayloadExtractor extractor(loadResource(library, resource(Good)));
    const DWORD error = ERROR_RESOURCE_DATA_NOT_FOUND;
    EXPECT_EQ(extractor.failure().systemError, error);
    EXPECT_EQ(errorText(extractor), systemErrorText(error));
    EXPECT_FALSE(errorText(extractor).empty());
    EXPECT_EQ(extractor.payloadSize(), 0u);
    TemporaryFolder folder;
    RecordingProgress frontEnd;
    EXPECT_FALSE(extractor.extract(targetOf(folder), frontEnd.report(), 0, 0));
    EXPECT_THAT(frontEnd.reports, IsEmpty());
    EXPECT_EQ(errorText(extractor), systemErrorText(error));
    EXPECT_FALSE(testsupport::folderExists(folder / L"Apps"));
    FreeLibrary(library);

    // A payload the program does not carry: the lookup finds nothing, and the extractor reports
    // why in the system's words.
    HRSRC missing = resource(999);
    const DWORD lookupError = GetLastError();
    ASSERT_EQ(missing, nullptr);
    PayloadExtractor absent(loadResource(GetModuleHandleW(nullptr), missing));
    EXPECT_EQ(absent.failure().systemError, lookupError);
    EXPECT_EQ(errorText(absent), systemErrorText(lookupError));
    EXPECT_FALSE(absent.extract(targetOf(folder), frontEnd.report(), 0, 0));
    EXPECT_THAT(frontEnd.reports, IsEmpty());
}

}  // namespace
}  // namespace swiftsetup

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind("--expect=", 0) == 0) swiftsetup::expectedLanguage = argument.substr(9);
        if (argument.rfind("--threads=", 0) == 0) swiftsetup::inflatingThreads = std::stoul(argument.substr(10));
    }
    return RUN_ALL_TESTS();
}
