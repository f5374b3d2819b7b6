// Benchmark of the extractor on a payload carried by an installer program (scripts/bench-extract
// makes one of about 150 MB from real Windows program files). It prints figures and never fails
// on time:
//   - extraction: wall time of PayloadExtractor::extract over the mapped resource;
//   - the limit it is measured against: the same blocks inflated in memory by zlib with no file
//     written, plus the same bytes written uncompressed, file by file, one write per block;
//   - memory: what extraction allocates (largest request, most held at once) and the process's
//     private and resident memory sampled after every chunk;
//   - the checks the install makes before it changes anything: every chunk's framing and the
//     payload's digest (surveyPayload).
// usage: payload_extract_bench.exe INSTALLER WORK_FOLDER [RUNS]
#include <windows.h>
#include <psapi.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "payload/chunk_format.h"
#include "payload/chunk_walker.h"
#include "payload/payload_extractor.h"
#include "payload/payload_survey.h"
#include "tests/payload/allocation_tracker.h"
#include "tests/support/null_front_end.h"
#include "tests/support/test_support.h"
#include "ui/interface.h"

namespace {

using namespace swiftsetup;

double now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

PROCESS_MEMORY_COUNTERS memoryNow() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters;
}

// A front end that costs next to nothing, as the real window's must.
class CountingFrontEnd : public NullFrontEnd {
public:
    void setProgress(uint32_t position, uint32_t) override {
        ++reports;
        last = position;
    }
    uint32_t reports = 0;
    uint32_t last = 0;
};

// Samples the process's memory after every chunk (the memory run only: this costs time).
class SamplingFrontEnd final : public CountingFrontEnd {
public:
    void setProgress(uint32_t position, uint32_t total) override {
        CountingFrontEnd::setProgress(position, total);
        const PROCESS_MEMORY_COUNTERS counters = memoryNow();
        privateBytes = std::max<size_t>(privateBytes, counters.PagefileUsage);
        residentBytes = std::max<size_t>(residentBytes, counters.WorkingSetSize);
    }
    size_t privateBytes = 0;
    size_t residentBytes = 0;
};

struct Shape : ChunkVisitor {
    bool onFile(const Chunk&, std::string_view) override {
        ++files;
        return true;
    }
    bool onBlock(const Chunk&, const Block& block) override {
        ++blocks;
        bytes += block.declaredSize;
        return true;
    }
    uint32_t files = 0;
    uint32_t blocks = 0;
    uint64_t bytes = 0;
};

// Calls back for every chunk of a well-formed payload: the limit runs read it without the walker.
template <typename OnChunk>
void forEachChunk(const uint8_t* data, uint32_t size, OnChunk onChunk) {
    uint32_t offset = 0;
    while (offset + kChunkHeaderSize <= size) {
        const uint8_t kind = data[offset];
        const uint32_t length = readBigEndian24(data + offset + 1);
        onChunk(kind, data + offset + kChunkHeaderSize, length);
        offset += kChunkHeaderSize + length;
    }
}

// Limit, part one: every block inflated by zlib into one buffer, nothing written.
double inflateOnly(const uint8_t* data, uint32_t size) {
    std::vector<uint8_t> buffer(kBlockSize);
    const double start = now();
    forEachChunk(data, size, [&](uint8_t kind, const uint8_t* body, uint32_t length) {
        if (kind != 0) return;
        const uint32_t declared = readBigEndian32(body);
        if (declared > buffer.size()) buffer.resize(declared);
        uLongf produced = declared;
        uncompress(buffer.data(), &produced, body + 4, length - 4);
    });
    return now() - start;
}

// Limit, part two: the same bytes written uncompressed, the same files in the same folders, one
// write per block; only the file system calls are timed.
double writeOnly(const uint8_t* data, uint32_t size, const std::wstring& target) {
    std::vector<uint8_t> buffer(kBlockSize);
    double spent = 0;
    HANDLE file = INVALID_HANDLE_VALUE;
    forEachChunk(data, size, [&](uint8_t kind, const uint8_t* body, uint32_t length) {
        if (kind == 1) {
            std::wstring path = target + L"\\" + testsupport::widen(std::string(reinterpret_cast<const char*>(body), length));
            std::replace(path.begin(), path.end(), L'/', L'\\');
            const double start = now();
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
            for (size_t slash = target.size(); (slash = path.find(L'\\', slash + 1)) != std::wstring::npos;) {
                CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
            }
            file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            spent += now() - start;
        } else if (kind == 0) {
            const uint32_t declared = readBigEndian32(body);
            if (declared > buffer.size()) buffer.resize(declared);
            uLongf produced = declared;
            uncompress(buffer.data(), &produced, body + 4, length - 4);
            const double start = now();
            DWORD written = 0;
            WriteFile(file, buffer.data(), static_cast<DWORD>(produced), &written, nullptr);
            spent += now() - start;
        }
    });
    const double start = now();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return spent + now() - start;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: payload_extract_bench INSTALLER WORK_FOLDER [RUNS]\n");
        return 2;
    }
    const std::wstring installer = testsupport::widen(argv[1]);
    const std::wstring work = testsupport::widen(argv[2]);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    CreateDirectoryW(work.c_str(), nullptr);

    // The installer program mapped as an image resource: the payload is read where it lies.
    HMODULE module = LoadLibraryExW(installer.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    HRSRC resource = module ? FindResourceW(module, MAKEINTRESOURCEW(256), MAKEINTRESOURCEW(256)) : nullptr;
    if (resource == nullptr) {
        std::fprintf(stderr, "no payload resource in %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(module, resource)));
    const uint32_t size = SizeofResource(module, resource);
    Shape shape;
    walkPayload(data, size, shape, InflateMode::SizesOnly);
    const double unpackedMiB = static_cast<double>(shape.bytes) / (1024.0 * 1024.0);
    std::printf("payload: %u bytes (%.1f MiB), %u files, %u blocks, unpacking to %llu bytes (%.1f MiB)\n", size,
                size / (1024.0 * 1024.0), shape.files, shape.blocks, static_cast<unsigned long long>(shape.bytes),
                unpackedMiB);

    // Warm up: the program file is read from the system's cache in every run alike.
    volatile uint8_t touch = 0;
    for (uint32_t i = 0; i < size; i += 4096) touch = touch + data[i];
    inflateOnly(data, size);

    // The memory run: what extraction allocates, and the process's memory after every chunk.
    const PROCESS_MEMORY_COUNTERS baseline = memoryNow();
    size_t heapPeak = 0;
    size_t largest = 0;
    SamplingFrontEnd sampling;
    {
        const std::wstring target = work + L"\\memory";
        testsupport::deleteTree(target);
        const size_t heapBefore = allocationtracker::current();
        allocationtracker::reset();
        PayloadExtractor extractor(module, resource);
        if (!extractor.extract(testsupport::narrow(target), &sampling, 0, 0)) {
            std::fprintf(stderr, "extraction failed: %s", extractor.errorText().c_str());
            return 1;
        }
        heapPeak = allocationtracker::peak() - heapBefore;
        largest = allocationtracker::largestRequest();
        testsupport::deleteTree(target);
    }

    std::vector<double> extraction, inflation, writing, checks;
    for (int run = 0; run < runs; ++run) {
        const std::wstring target = work + L"\\extract";
        testsupport::deleteTree(target);
        CountingFrontEnd frontEnd;
        PayloadExtractor extractor(module, resource);
        const double start = now();
        const bool ok = extractor.extract(testsupport::narrow(target), &frontEnd, 0, 0);
        extraction.push_back(now() - start);
        if (!ok || frontEnd.last != size) {
            std::fprintf(stderr, "extraction failed: %s", extractor.errorText().c_str());
            return 1;
        }

        inflation.push_back(inflateOnly(data, size));
        const double checkStart = now();
        const bool whole = surveyPayload(data, size).whole();
        checks.push_back(now() - checkStart);
        if (!whole) {
            std::fprintf(stderr, "the payload is not whole\n");
            return 1;
        }
        const std::wstring raw = work + L"\\raw";
        testsupport::deleteTree(raw);
        CreateDirectoryW(raw.c_str(), nullptr);
        writing.push_back(writeOnly(data, size, raw));
        testsupport::deleteTree(raw);
        testsupport::deleteTree(target);
    }

    const double extract = median(extraction);
    const double inflate = median(inflation);
    const double write = median(writing);
    const double limit = inflate + write;
    const double mib = 1024.0 * 1024.0;
    std::printf("runs: %d (medians below)\n", runs);
    std::printf("extraction:     %7.3f s   %7.1f MiB/s unpacked, %7.1f MiB/s of payload\n", extract, unpackedMiB / extract,
                size / mib / extract);
    std::printf("inflate only:   %7.3f s   %7.1f MiB/s unpacked (zlib, no files)\n", inflate, unpackedMiB / inflate);
    std::printf("write only:     %7.3f s   %7.1f MiB/s (the same bytes uncompressed, one write per block)\n", write,
                unpackedMiB / write);
    std::printf("limit:          %7.3f s   (inflate only + write only)\n", limit);
    std::printf("extraction / limit: %.3f (target at most 1.25)\n", extract / limit);
    std::printf("checks:         %7.3f s   (framing and digest, before anything is removed or written)\n",
                median(checks));
    std::printf("memory: largest request %zu bytes, at most %zu bytes held by extraction at once\n", largest, heapPeak);
    std::printf("memory: private %.1f MiB before, at most %.1f MiB during extraction; resident at most %.1f MiB"
                " (mapped program file pages included)\n",
                baseline.PagefileUsage / mib, sampling.privateBytes / mib, sampling.residentBytes / mib);
    std::printf("memory: process peak resident %.1f MiB over the whole benchmark\n", memoryNow().PeakWorkingSetSize / mib);
    std::printf("progress reports: %u\n", sampling.reports);
    FreeLibrary(module);
    return 0;
}
