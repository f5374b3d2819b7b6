// Benchmark of the extractor on a payload carried by an installer program (scripts/bench-extract
// makes one of about 150 MB from real Windows program files). It prints figures and never fails
// on time:
//   - extraction: wall time of PayloadExtractor::extract over the mapped resource, with the
//     threads the installer uses and with one, each with every file flushed to the disk (as the
//     installer does) and without;
//   - the decoder the extractor inflates with, and the limits it is measured against: the same
//     blocks inflated in memory by zlib with no file written, on one core and on all of them at
//     once, plus the same bytes written uncompressed, file by file, one write per block (and the
//     same again with every file flushed); and the same limits with libdeflate's decoder, lower;
//   - memory: what extraction allocates (largest request, most held at once) and the process's
//     private and resident memory sampled after every chunk, with the threads and then with one
//     (a whole install's memory, each in a process of its own, is scripts/bench-install's);
//   - the checks the install makes before it changes anything: every chunk's framing and the
//     payload's digest (surveyPayload).
// usage: payload_extract_bench.exe INSTALLER WORK_FOLDER [RUNS] [--limits-only]
// (--limits-only: the limits and the checks alone, for scripts/bench-install's rounds)
#include <windows.h>
#include <psapi.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "payload/block_inflater.h"
#include "payload/chunk_format.h"
#include "payload/chunk_walker.h"
#include "payload/payload_extractor.h"
#include "payload/payload_survey.h"
#include "platform/resource_handle.h"
#include "platform/threads.h"
#include "platform/system_errors.h"
#include "platform/user_language.h"
#include "tests/payload/allocation_tracker.h"
#include "tests/support/null_front_end.h"
#include "tests/support/test_support.h"
#include "install/interface.h"

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

// The decoders the limits are measured with: zlib's one-shot uncompress, and libdeflate's decoder
// (one per thread, used again for every block).
enum class Decoder { Zlib, Libdeflate };

class BlockDecoder {
public:
    explicit BlockDecoder(Decoder decoder)
        : libdeflate_(decoder == Decoder::Libdeflate ? libdeflate_alloc_decompressor() : nullptr) {}
    ~BlockDecoder() {
        if (libdeflate_ != nullptr) libdeflate_free_decompressor(libdeflate_);
    }
    BlockDecoder(const BlockDecoder&) = delete;
    BlockDecoder& operator=(const BlockDecoder&) = delete;

    // Inflates one data chunk's body into the buffer, grown to its declared size; the bytes it gave.
    size_t inflate(const uint8_t* body, uint32_t length, std::vector<uint8_t>& buffer) {
        const uint32_t declared = readBigEndian32(body);
        if (declared > buffer.size()) buffer.resize(declared);
        if (libdeflate_ != nullptr) {
            size_t produced = 0;
            libdeflate_zlib_decompress_ex(libdeflate_, body + 4, length - 4, buffer.data(), declared, nullptr, &produced);
            return produced;
        }
        uLongf produced = declared;
        uncompress(buffer.data(), &produced, body + 4, length - 4);
        return produced;
    }

private:
    libdeflate_decompressor* libdeflate_;
};

const char* decoderName(Decoder decoder) { return decoder == Decoder::Zlib ? "zlib" : "libdeflate"; }

// Limit, part one: every block inflated into one buffer, nothing written.
double inflateOnly(const uint8_t* data, uint32_t size, Decoder decoder) {
    std::vector<uint8_t> buffer(kBlockSize);
    BlockDecoder blocks(decoder);
    const double start = now();
    forEachChunk(data, size, [&](uint8_t kind, const uint8_t* body, uint32_t length) {
        if (kind == 0) blocks.inflate(body, length, buffer);
    });
    return now() - start;
}

// The same on every core at once: each thread takes the next block and inflates it into a buffer
// of its own; the time runs from the first thread's start to the last one's end.
struct SharedBlocks {
    std::vector<std::pair<const uint8_t*, uint32_t>> bodies;
    Decoder decoder = Decoder::Zlib;
    volatile LONG next = -1;
};

void inflateShare(void* context) {
    auto& shared = *static_cast<SharedBlocks*>(context);
    std::vector<uint8_t> buffer(kBlockSize);
    BlockDecoder blocks(shared.decoder);
    for (LONG i; (i = InterlockedIncrement(&shared.next)) < static_cast<LONG>(shared.bodies.size());) {
        const auto [body, length] = shared.bodies[static_cast<size_t>(i)];
        blocks.inflate(body, length, buffer);
    }
}

double inflateOnAllCores(const uint8_t* data, uint32_t size, unsigned threads, Decoder decoder) {
    SharedBlocks shared;
    shared.decoder = decoder;
    forEachChunk(data, size, [&](uint8_t kind, const uint8_t* body, uint32_t length) {
        if (kind == 0) shared.bodies.emplace_back(body, length);
    });
    std::vector<Thread> pool(threads);
    const double start = now();
    for (Thread& thread : pool) {
        if (!thread.start(&inflateShare, &shared)) std::fprintf(stderr, "a thread could not start\n");
    }
    for (Thread& thread : pool) thread.join();
    return now() - start;
}

// Limit, part two: the same bytes written uncompressed, the same files in the same folders, one
// write per block; only the file system calls are timed. With flush, each file is flushed to the
// disk before it is closed, on the same thread.
double writeOnly(const uint8_t* data, uint32_t size, const std::wstring& target, bool flush) {
    std::vector<uint8_t> buffer(kBlockSize);
    BlockDecoder blocks(Decoder::Zlib);
    double spent = 0;
    HANDLE file = INVALID_HANDLE_VALUE;
    forEachChunk(data, size, [&](uint8_t kind, const uint8_t* body, uint32_t length) {
        if (kind == 1) {
            std::wstring path = target + L"\\" + testsupport::widen(std::string(reinterpret_cast<const char*>(body), length));
            std::replace(path.begin(), path.end(), L'/', L'\\');
            const double start = now();
            if (file != INVALID_HANDLE_VALUE && flush) FlushFileBuffers(file);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
            for (size_t slash = target.size(); (slash = path.find(L'\\', slash + 1)) != std::wstring::npos;) {
                CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
            }
            file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            spent += now() - start;
        } else if (kind == 0) {
            const size_t produced = blocks.inflate(body, length, buffer);
            const double start = now();
            DWORD written = 0;
            WriteFile(file, buffer.data(), static_cast<DWORD>(produced), &written, nullptr);
            spent += now() - start;
        }
    });
    const double start = now();
    if (file != INVALID_HANDLE_VALUE && flush) FlushFileBuffers(file);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return spent + now() - start;
}

}  // namespace


namespace {

// One way of extracting: the threads that inflate (0: the installer's count) and whether files are
// flushed; its times, and its memory from a run of its own.
struct Way {
    Way(unsigned threadCount, bool flushFiles, std::string wayName)
        : threads(threadCount), flush(flushFiles), name(std::move(wayName)) {}
    unsigned threads;
    bool flush;
    std::string name;
    std::vector<double> times;
    size_t heapPeak = 0;
    size_t largest = 0;
    size_t privateBefore = 0;
    size_t privateBytes = 0;
    size_t residentBytes = 0;
};

bool extract(HMODULE module, HRSRC resource, const std::wstring& target, const Way& way, CountingFrontEnd& frontEnd,
             uint32_t size) {
    testsupport::deleteTree(target);
    PayloadExtractor extractor(loadResource(module, resource));
    extractor.setThreadCount(way.threads);
    extractor.setFlushFiles(way.flush);
    const ProgressReport progress = [&](uint32_t position, uint32_t total) { frontEnd.setProgress(position, total); };
    const bool ok = extractor.extract(testsupport::narrow(target), progress, 0, 0);
    if (!ok || frontEnd.last != size) {
        const Failure& failure = extractor.failure();
        std::fprintf(stderr, "extraction failed: %s\n", failureReason(failure, userLanguage(), systemErrorText(failure.systemError)).c_str());
    }
    return ok && frontEnd.last == size;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: payload_extract_bench INSTALLER WORK_FOLDER [RUNS] [--limits-only]\n");
        return 2;
    }
    const std::wstring installer = testsupport::widen(argv[1]);
    const std::wstring work = testsupport::widen(argv[2]);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const bool limitsOnly = argc > 4 && std::string(argv[4]) == "--limits-only";
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
    const unsigned cores = logicalProcessorCount();
    const unsigned threads = PayloadExtractor(loadResource(module, resource)).threadCount();
    std::printf("threads: %u logical processors for this process; the installer inflates on %u (at most %u)\n", cores,
                threads, PayloadExtractor::kMostInflatingThreads);
    std::printf("decoder: %s (the extractor's); limits with zlib %s and with libdeflate %s\n", blockDecoderName(),
                zlibVersion(), LIBDEFLATE_VERSION_STRING);

    // Warm up: the program file is read from the system's cache in every run alike.
    volatile uint8_t touch = 0;
    for (uint32_t i = 0; i < size; i += 4096) touch = touch + data[i];
    inflateOnly(data, size, Decoder::Zlib);

    const std::string many = std::to_string(threads) + (threads == 1 ? " thread" : " threads");
    std::vector<Way> ways = {{0, true, many + ", flushed"}, {1, true, "1 thread, flushed"},
                             {0, false, many + ", not flushed"}, {1, false, "1 thread, not flushed"}};
    if (limitsOnly) ways.clear();

    // The memory runs, as the installer extracts and with one thread: what extraction allocates,
    // and the process's memory after every chunk.
    const PROCESS_MEMORY_COUNTERS baseline = memoryNow();
    uint32_t reports = 0;
    for (size_t i = 0; i < 2 && i < ways.size(); ++i) {
        Way& way = ways[i];
        SamplingFrontEnd sampling;
        way.privateBefore = memoryNow().PagefileUsage;
        const size_t heapBefore = allocationtracker::current();
        allocationtracker::reset();
        if (!extract(module, resource, work + L"\\memory", way, sampling, size)) return 1;
        way.heapPeak = allocationtracker::peak() - heapBefore;
        way.largest = allocationtracker::largestRequest();
        way.privateBytes = sampling.privateBytes;
        way.residentBytes = sampling.residentBytes;
        reports = sampling.reports;
        testsupport::deleteTree(work + L"\\memory");
    }

    const Decoder decoders[] = {Decoder::Zlib, Decoder::Libdeflate};
    std::vector<double> inflation[2], inflationAll[2], writing, flushing, checks;
    for (int run = 0; run < runs; ++run) {
        const std::wstring target = work + L"\\extract";
        for (Way& way : ways) {
            CountingFrontEnd frontEnd;
            const double start = now();
            if (!extract(module, resource, target, way, frontEnd, size)) return 1;
            way.times.push_back(now() - start);
            testsupport::deleteTree(target);
        }

        for (const Decoder decoder : decoders) {
            const auto d = static_cast<size_t>(decoder);
            inflation[d].push_back(inflateOnly(data, size, decoder));
            inflationAll[d].push_back(inflateOnAllCores(data, size, cores, decoder));
        }
        const double checkStart = now();
        const bool whole = surveyPayload(data, size).whole();
        checks.push_back(now() - checkStart);
        if (!whole) {
            std::fprintf(stderr, "the payload is not whole\n");
            return 1;
        }
        const std::wstring raw = work + L"\\raw";
        for (const bool flush : {false, true}) {
            testsupport::deleteTree(raw);
            CreateDirectoryW(raw.c_str(), nullptr);
            (flush ? flushing : writing).push_back(writeOnly(data, size, raw, flush));
        }
        testsupport::deleteTree(raw);
    }

    const double mib = 1024.0 * 1024.0;
    const double write = median(writing);
    double inflate[2], inflateAll[2], limitOne[2], limitAll[2];
    for (size_t d = 0; d < 2; ++d) {
        inflate[d] = median(inflation[d]);
        inflateAll[d] = median(inflationAll[d]);
        limitOne[d] = inflate[d] + write;
        limitAll[d] = inflateAll[d] + write;
    }
    std::printf("runs: %d (medians below)\n", runs);
    if (limitsOnly) {
        std::printf("limit, 1 core:           %7.3f s\nlimit, all cores:        %7.3f s\n"
                    "limit, libdeflate, 1 core:    %7.3f s\nlimit, libdeflate, all cores: %7.3f s\n"
                    "checks:         %7.3f s\n",
                    limitOne[0], limitAll[0], limitOne[1], limitAll[1], median(checks));
        FreeLibrary(module);
        return 0;
    }
    for (const Way& way : ways) {
        const double t = median(way.times);
        std::printf("extraction, %-24s %7.3f s   %7.1f MiB/s unpacked, %7.1f MiB/s of payload\n", (way.name + ":").c_str(),
                    t, unpackedMiB / t, size / mib / t);
    }
    const double pooled = median(ways[0].times);
    const double single = median(ways[1].times);
    std::printf("flushing costs: %.3f s with %s, %.3f s with 1 (flushed minus not flushed)\n",
                pooled - median(ways[2].times), many.c_str(), single - median(ways[3].times));
    std::printf("%s against 1: %.2f flushed, %.2f not flushed (time with them / time with 1)\n", many.c_str(),
                pooled / single, median(ways[2].times) / median(ways[3].times));
    for (const Decoder decoder : decoders) {
        const auto d = static_cast<size_t>(decoder);
        std::printf("inflate only, 1 core:    %7.3f s   %7.1f MiB/s unpacked (%s, no files)\n", inflate[d],
                    unpackedMiB / inflate[d], decoderName(decoder));
        std::printf("inflate only, %u cores:   %7.3f s   %7.1f MiB/s unpacked (%s, no files, every core at once)\n",
                    cores, inflateAll[d], unpackedMiB / inflateAll[d], decoderName(decoder));
    }
    std::printf("write only:              %7.3f s   %7.1f MiB/s (the same bytes uncompressed, one write per block)\n",
                write, unpackedMiB / write);
    std::printf("write and flush:         %7.3f s   (the same, every file flushed before it is closed, one thread)\n",
                median(flushing));
    std::printf("limit, 1 core:           %7.3f s   (inflate only on 1 core + write only)\n", limitOne[0]);
    std::printf("limit, all cores:        %7.3f s   (inflate only on %u cores + write only)\n", limitAll[0], cores);
    std::printf("limit, libdeflate, 1 core:    %7.3f s   (the same, inflated by libdeflate)\n", limitOne[1]);
    std::printf("limit, libdeflate, all cores: %7.3f s   (the same, inflated by libdeflate on %u cores)\n",
                limitAll[1], cores);
    std::printf("extraction / limit: %.3f against all cores (target at most 1.25), %.3f against 1 core (%s, flushed)\n",
                pooled / limitAll[0], pooled / limitOne[0], many.c_str());
    std::printf("extraction / libdeflate limit: %.3f against all cores, %.3f against 1 core (%s, flushed)\n",
                pooled / limitAll[1], pooled / limitOne[1], many.c_str());
    std::printf("checks:         %7.3f s   (framing and digest, before anything is removed or written)\n",
                median(checks));
    for (const Way& way : {std::cref(ways[0]), std::cref(ways[1])}) {
        std::printf("memory, %s: largest request %zu bytes, at most %zu bytes held by extraction at once; private at"
                    " most %.1f MiB, %.1f MiB more than before it; resident at most %.1f MiB (mapped program file"
                    " pages included)\n",
                    way.name.c_str(), way.largest, way.heapPeak, way.privateBytes / mib,
                    (static_cast<double>(way.privateBytes) - static_cast<double>(way.privateBefore)) / mib,
                    way.residentBytes / mib);
    }
    std::printf("memory: private %.1f MiB before extracting; process peak resident %.1f MiB over the whole benchmark\n",
                baseline.PagefileUsage / mib, memoryNow().PeakWorkingSetSize / mib);
    std::printf("progress reports: %u\n", reports);
    FreeLibrary(module);
    return 0;
}
