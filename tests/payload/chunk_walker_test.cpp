// The reading rules of the payload, natively: every shape of the format, good and broken, with
// the message key the installer reports for it, the hardened cases, and the payload's digest.
#include "payload/chunk_walker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "payload/block_inflater.h"
#include "payload/chunk_format.h"
#include "payload/inflate_ahead.h"
#include "payload/payload_digest.h"
#include "payload/payload_path.h"
#include "payload/payload_writer.h"
#include "tests/payload/payload_bytes.h"

namespace swiftsetup {
namespace {

using payloadtest::blockChunk;
using payloadtest::chunk;
using payloadtest::dataChunk;
using payloadtest::digestChunk;
using payloadtest::fileChunk;
using payloadtest::programLikeBytes;
using payloadtest::versionChunk;
using payloadtest::withDigest;
using payloadtest::zlibStream;
using ::testing::AnyOf;
using ::testing::Contains;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Eq;
using ::testing::IsEmpty;
using ::testing::Le;

// Records what a walk hands to its visitor, as short lines.
class Recorder final : public ChunkVisitor {
public:
    bool onFile(const Chunk& chunk, std::string_view path) override {
        events.push_back("file " + std::string(path) + " @" + std::to_string(chunk.offset));
        contents.emplace_back();
        return refuseFilesFrom < 0 || static_cast<int>(files++) < refuseFilesFrom;
    }
    bool onBlock(const Chunk&, const Block& block) override {
        events.push_back("block " + std::to_string(block.declaredSize) + "->" + std::to_string(block.length));
        if (block.bytes != nullptr) contents.back().append(reinterpret_cast<const char*>(block.bytes), block.length);
        return true;
    }
    bool onOtherChunk(const Chunk& chunk) override {
        events.push_back("skip " + std::to_string(chunk.kind));
        return true;
    }
    void onChunkDone(uint32_t consumed) override { progress.push_back(consumed); }

    std::vector<std::string> events;
    std::vector<std::string> contents;
    std::vector<uint32_t> progress;
    int refuseFilesFrom = -1;
    unsigned files = 0;
};

// The standard library's threads behind the seam the installer fills with Win32's. At most
// `startable` threads start; the rest are refused, as a system out of threads refuses them.
class StandardThreads final : public PlatformThreads {
public:
    explicit StandardThreads(size_t startable) : startable_(startable) {}
    bool start(void (*body)(void*), void* context) override {
        if (threads_.size() == startable_) return false;
        threads_.emplace_back(body, context);
        return true;
    }
    void joinAll() override {
        for (std::thread& thread : threads_) thread.join();
        threads_.clear();
    }
    void lock() override { mutex_.lock(); }
    void unlock() override { mutex_.unlock(); }
    void wait(Condition condition) override {
        std::unique_lock<std::mutex> held(mutex_, std::adopt_lock);
        conditions_[static_cast<int>(condition)].wait(held);
        held.release();
    }
    void wakeOne(Condition condition) override { conditions_[static_cast<int>(condition)].notify_one(); }
    void wakeAll(Condition condition) override { conditions_[static_cast<int>(condition)].notify_all(); }

private:
    size_t startable_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable conditions_[2];
};

struct AheadRun {
    unsigned threads, blocks;
    size_t startable;
};

// The walk with blocks inflated ahead must give the visitor and the caller what the plain walk gave
// (what the reference recorded from `from` on, for a recorder that walked before).
void expectSameAhead(const std::string& payload, const Recorder& reference, const WalkResult& expected,
                     const AheadRun& run, const Recorder& from = Recorder()) {
    SCOPED_TRACE(std::to_string(run.threads) + " other threads, " + std::to_string(run.blocks) + " blocks, " +
                 std::to_string(run.startable) + " startable");
    StandardThreads platform(run.startable);
    UnpackThreads threads(&platform, run.threads);
    Recorder recorder;
    recorder.refuseFilesFrom = reference.refuseFilesFrom;
    recorder.files = from.files;
    const WalkResult result =
        walkPayloadInflatingAhead(reinterpret_cast<const uint8_t*>(payload.data()), static_cast<uint32_t>(payload.size()),
                                  recorder, InflateAhead{&threads, run.blocks});
    EXPECT_EQ(result.fault, expected.fault);
    EXPECT_EQ(result.offset, expected.offset);
    EXPECT_EQ(result.chunks, expected.chunks);
    const auto after = [](const auto& all, const auto& before) {
        return std::vector(all.begin() + static_cast<std::ptrdiff_t>(before.size()), all.end());
    };
    EXPECT_EQ(recorder.events, after(reference.events, from.events));
    EXPECT_TRUE(recorder.contents == after(reference.contents, from.contents));
    EXPECT_EQ(recorder.progress, after(reference.progress, from.progress));
}

// Every inflating walk of these tests is also made with blocks inflated ahead on threads.
WalkResult walk(const std::string& payload, Recorder& recorder, InflateMode mode = InflateMode::Inflate) {
    const Recorder before = recorder;
    const WalkResult result = walkPayload(reinterpret_cast<const uint8_t*>(payload.data()),
                                          static_cast<uint32_t>(payload.size()), recorder, mode);
    if (mode == InflateMode::Inflate) expectSameAhead(payload, recorder, result, AheadRun{2, 0, 8}, before);
    return result;
}

std::string key(const WalkResult& result) {
    const char* k = faultMessageKey(result.fault);
    return k == nullptr ? "" : k;
}

const std::string kGood = versionChunk("50530304") + fileChunk("a.txt") + blockChunk("hello") + fileChunk("b.txt");

TEST(ChunkWalker, EmptyPayloadIsCompleteAndYieldsNothing) {
    Recorder recorder;
    const WalkResult result = walkPayload(nullptr, 0, recorder);
    EXPECT_EQ(result.fault, PayloadFault::None);
    EXPECT_EQ(result.offset, 0u);
    EXPECT_EQ(result.chunks, 0u);
    EXPECT_THAT(recorder.events, IsEmpty());
    EXPECT_THAT(recorder.progress, IsEmpty());
}

TEST(ChunkWalker, WellFormedPayloadReportsEveryChunkAndItsEnd) {
    Recorder recorder;
    const WalkResult result = walk(kGood, recorder);
    EXPECT_EQ(result.fault, PayloadFault::None);
    EXPECT_EQ(result.offset, kGood.size());
    EXPECT_EQ(result.chunks, 4u);
    const std::vector<uint32_t> ends = payloadtest::chunkEnds(kGood);
    EXPECT_THAT(recorder.events, ElementsAre("skip 2", "file a.txt @" + std::to_string(ends[0]), "block 5->5",
                                             "file b.txt @" + std::to_string(ends[2])));
    EXPECT_THAT(recorder.contents, ElementsAre("hello", ""));  // b.txt: a file chunk that ends the payload
    EXPECT_EQ(recorder.progress, payloadtest::chunkEnds(kGood));
}

TEST(ChunkWalker, OneToThreeStrayBytesAfterTheLastChunkBreakThePayloadAfterAllBeforeThem) {
    for (const std::string& stray : {std::string("\x01", 1), std::string("\0\0", 2), std::string("\x00\x00\x05", 3)}) {
        Recorder recorder;
        const WalkResult result = walk(kGood + stray, recorder);
        EXPECT_EQ(result.fault, PayloadFault::TruncatedHeader) << stray.size();
        EXPECT_EQ(key(result), "#extractor_invalid_chunk_error");
        EXPECT_EQ(result.offset, kGood.size());
        EXPECT_EQ(recorder.events.size(), 4u) << "everything before the stray bytes is handled";
        EXPECT_EQ(recorder.progress.back(), kGood.size());
    }
}

TEST(ChunkWalker, ChunkRunningPastTheEndBreaksThePayloadWhateverItsKind) {
    for (const uint8_t kind : {0, 1, 2, 3, 77, 255}) {
        std::string broken = kGood + chunk(kind, "12345678");
        broken.resize(broken.size() - 1);
        Recorder recorder;
        const WalkResult result = walk(broken, recorder);
        EXPECT_EQ(result.fault, PayloadFault::ChunkPastEnd) << int{kind};
        EXPECT_EQ(key(result), "#extractor_invalid_chunk_size");
        EXPECT_EQ(result.offset, kGood.size());
        EXPECT_EQ(recorder.events.size(), 4u) << "the chunk that does not fit is not handled";
    }
    // The length is checked against the bytes after the header, so a 4-byte header claiming one
    // byte with nothing after it is broken too.
    Recorder recorder;
    EXPECT_EQ(walk(chunk(2, "x").substr(0, 4), recorder).fault, PayloadFault::ChunkPastEnd);
}

TEST(ChunkWalker, OtherKindsAreSkippedWithoutClosingTheCurrentFile) {
    std::string payload = fileChunk("a.txt") + blockChunk("one ");
    for (int kind = 2; kind <= 255; ++kind) payload += chunk(static_cast<uint8_t>(kind), std::string(kind % 5, 'k'));
    payload += blockChunk("two");
    Recorder recorder;
    const WalkResult result = walk(payload, recorder);
    EXPECT_EQ(result.fault, PayloadFault::None);
    EXPECT_EQ(result.chunks, 3u + 254u);
    EXPECT_THAT(recorder.contents, ElementsAre("one two"));
    EXPECT_EQ(recorder.progress.size(), result.chunks) << "skipped chunks are reported too";
}

TEST(ChunkWalker, DataChunkBeforeAnyFileChunkIsUnexpected) {
    Recorder recorder;
    const std::string payload = versionChunk("1") + chunk(9, "") + blockChunk("orphan") + fileChunk("a");
    const WalkResult result = walk(payload, recorder);
    EXPECT_EQ(result.fault, PayloadFault::DataBeforeFile);
    EXPECT_EQ(key(result), "#extractor_unexpected_data_chunk");
    EXPECT_EQ(result.offset, versionChunk("1").size() + 4);
    EXPECT_THAT(recorder.events, ElementsAre("skip 2", "skip 9"));
}

TEST(ChunkWalker, DataChunkBodiesOfZeroToThreeBytesAreInvalid) {
    for (size_t length = 0; length < 4; ++length) {
        Recorder recorder;
        const WalkResult result = walk(fileChunk("a") + chunk(0, std::string(length, '\0')), recorder);
        EXPECT_EQ(result.fault, PayloadFault::ShortDataChunk) << length;
        EXPECT_EQ(key(result), "#extractor_invalid_data_chunk");
        EXPECT_EQ(result.offset, 5u);
    }
}

TEST(ChunkWalker, SizeZeroIsAnEmptyBlockWhateverFollowsIt) {
    Recorder recorder;
    const std::string payload = fileChunk("a") + dataChunk(0, "") + dataChunk(0, "not even zlib") + blockChunk("x");
    const WalkResult result = walk(payload, recorder);
    EXPECT_EQ(result.fault, PayloadFault::None);
    EXPECT_THAT(recorder.events, ElementsAre("file a @0", "block 0->0", "block 0->0", "block 1->1"));
    EXPECT_THAT(recorder.contents, ElementsAre("x"));
}

TEST(ChunkWalker, StreamsThatDoNotInflateCompletelyWithinTheirSizeFail) {
    const std::string text = "0123456789abcdef";
    std::string badChecksum = zlibStream(text);
    badChecksum.back() ^= 0x01;
    std::string damaged = zlibStream(text);
    damaged[3] ^= 0x55;
    z_stream z{};
    deflateInit(&z, 6);
    const std::string dictionary = "0123456789";
    deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()), static_cast<uInt>(dictionary.size()));
    std::string withDictionary(64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(withDictionary.data());
    z.avail_out = static_cast<uInt>(withDictionary.size());
    deflate(&z, Z_FINISH);
    withDictionary.resize(z.total_out);
    deflateEnd(&z);

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"4-byte body with a size", dataChunk(5, "")},
        {"more output than size", dataChunk(15, zlibStream(text))},
        {"wrong Adler-32", dataChunk(16, badChecksum)},
        {"damaged deflate data", dataChunk(16, damaged)},
        {"truncated stream", dataChunk(16, zlibStream(text).substr(0, 10))},
        {"preset dictionary", dataChunk(16, withDictionary)},
        {"raw deflate without the zlib wrapper", dataChunk(16, zlibStream(text).substr(2))},
    };
    for (const auto& [name, data] : cases) {
        Recorder recorder;
        const WalkResult result = walk(fileChunk("a") + data, recorder);
        EXPECT_EQ(result.fault, PayloadFault::DecompressionFailed) << name;
        EXPECT_EQ(key(result), "#extractor_decompression_failed") << name;
        EXPECT_EQ(result.offset, 5u) << name;
        EXPECT_THAT(recorder.contents, ElementsAre("")) << name;
        // A look at the sizes alone does not inflate, so it finds nothing wrong.
        Recorder sizes;
        EXPECT_EQ(walk(fileChunk("a") + data, sizes, InflateMode::SizesOnly).fault, PayloadFault::None) << name;
    }
}

TEST(ChunkWalker, StreamsThatEndEarlyOrCarryTrailingBytesAreAccepted) {
    Recorder recorder;
    const std::string payload = fileChunk("a") + dataChunk(100, zlibStream("short")) +
                                dataChunk(4, zlibStream("tail") + "junk after the stream");
    EXPECT_EQ(walk(payload, recorder).fault, PayloadFault::None);
    EXPECT_THAT(recorder.events, ElementsAre("file a @0", "block 100->5", "block 4->4"));
    EXPECT_THAT(recorder.contents, ElementsAre("shorttail"));
}

TEST(ChunkWalker, AbsurdDeclaredSizesCostOnlyWhatTheStreamCanHold) {
    // 0xFFFFFFFF would be a 4 GiB buffer; the stream of "hello" can never fill more than about a
    // thousand times its length, and that is all the walk asks for.
    EXPECT_EQ(maximumInflatedSize(13), 14u * 1032u);
    Recorder recorder;
    const WalkResult result = walk(fileChunk("a") + dataChunk(0xFFFFFFFFu, zlibStream("hello")), recorder);
    EXPECT_EQ(result.fault, PayloadFault::None);
    EXPECT_THAT(recorder.contents, ElementsAre("hello"));

    std::string damaged = zlibStream("hello");
    damaged.back() ^= 0x40;
    Recorder broken;
    EXPECT_EQ(walk(fileChunk("a") + dataChunk(0xFFFFFFFFu, damaged), broken).fault,
              PayloadFault::DecompressionFailed);

    // The bound really is a bound: the most compressible input there is stays below it.
    const std::string zeros(8 << 20, '\0');
    const std::string best = zlibStream(zeros, 9);
    EXPECT_LT(zeros.size(), maximumInflatedSize(static_cast<uint32_t>(best.size())));
    Recorder large;
    EXPECT_EQ(walk(fileChunk("z") + dataChunk(0xFFFFFFFFu, best), large).fault, PayloadFault::None);
    EXPECT_EQ(large.contents[0].size(), zeros.size());
}

TEST(ChunkWalker, PathsThatCouldLeaveTheTargetFolderAreRefusedBeforeTheVisitorSeesThem) {
    const std::vector<std::string> unsafe = {
        "", "..", "../escape.txt", "a/../../escape.txt", "a\\..\\b", "a/..", ".", "./a", "a/./b",
        "/rooted.txt", "\\rooted.txt", "\\\\server\\share\\x", "C:/Windows/x.dll", "C:x", "a/b:stream",
        "a//b", "a\\\\b", "a/", "a\\", std::string("a\0b", 3), std::string(kMaxPayloadPathLength + 1, 'a')};
    for (const std::string& path : unsafe) {
        Recorder recorder;
        const std::string before = fileChunk("ok.txt") + blockChunk("ok");
        const WalkResult result = walk(before + fileChunk(path) + blockChunk("x"), recorder);
        const std::string shown = path.substr(0, 40);
        EXPECT_EQ(result.fault, PayloadFault::UnsafePath) << shown;
        EXPECT_EQ(key(result), "#extractor_invalid_path") << shown;
        EXPECT_EQ(result.offset, before.size()) << shown;
        EXPECT_THAT(recorder.contents, ElementsAre("ok")) << shown;
    }
    const std::vector<std::string> safe = {"a", "a/b/c/d.txt", "a\\b\\c.txt", "...", ".../x", "a..b", ".hidden",
                                           "name.", "with blank", "ünïcødé/ørken.txt",
                                           std::string(kMaxPayloadPathLength, 'a')};
    for (const std::string& path : safe) {
        EXPECT_TRUE(isSafePayloadPath(path)) << path.substr(0, 40);
        Recorder recorder;
        EXPECT_EQ(walk(fileChunk(path), recorder).fault, PayloadFault::None) << path.substr(0, 40);
    }
}

TEST(ChunkWalker, PathsWithBackslashesAndSlashesReachTheVisitorAsStored) {
    Recorder recorder;
    walk(fileChunk("first/second/name") + fileChunk("first\\second\\name"), recorder);
    EXPECT_THAT(recorder.events, ElementsAre("file first/second/name @0", "file first\\second\\name @21"));
}

TEST(ChunkWalker, VisitorThatRefusesAChunkStopsTheWalkThere) {
    Recorder recorder;
    recorder.refuseFilesFrom = 1;
    const std::string payload = fileChunk("a") + blockChunk("1") + fileChunk("b") + blockChunk("2");
    const WalkResult result = walk(payload, recorder);
    EXPECT_EQ(result.fault, PayloadFault::StoppedByVisitor);
    EXPECT_EQ(faultMessageKey(result.fault), nullptr);
    EXPECT_EQ(result.offset, payloadtest::chunkEnds(payload)[1]);
    EXPECT_EQ(recorder.progress.size(), 2u) << "no report for the chunk that failed";
}

TEST(ChunkWalker, SizesOnlyModeSeesTheLayoutWithoutInflating) {
    Recorder recorder;
    const std::string payload = fileChunk("a") + blockChunk("hello") + dataChunk(0, "");
    EXPECT_EQ(walk(payload, recorder, InflateMode::SizesOnly).fault, PayloadFault::None);
    EXPECT_THAT(recorder.events, ElementsAre("file a @0", "block 5->0", "block 0->0"));
}

// Inflating ahead on threads changes nothing the visitor sees, nor the result, for every shape:
// the first fault in payload order wins however far ahead the threads are, and nothing after it
// reaches the visitor.
TEST(ChunkWalker, InflatingAheadOnThreadsHandsTheVisitorExactlyWhatTheWalkDoes) {
    std::string many = versionChunk("1") + fileChunk("many.bin");
    for (uint32_t i = 0; i < 40; ++i) many += blockChunk(programLikeBytes(kBlockSize, i));
    std::string damaged = zlibStream(programLikeBytes(5000, 99));
    damaged[damaged.size() / 2] ^= 0x20;
    const std::string tail = fileChunk("after.txt") + blockChunk("after") + fileChunk("last.txt") + blockChunk("last");
    struct Case {
        const char* name;
        std::string payload;
        int refuseFilesFrom;
        PayloadFault fault;
    };
    using enum PayloadFault;
    const std::string huge = dataChunk(0xFFFFFFFFu, zlibStream(std::string(1 << 20, 'z'), 9));
    const std::string odd = dataChunk(100, zlibStream("short")) + dataChunk(4, zlibStream("tail") + "junk") + dataChunk(0, "");
    const std::vector<Case> cases = {
        {"empty", "", -1, None},
        {"small", kGood, -1, None},
        {"many blocks", many + tail, -1, None},
        {"damaged behind many", many + blockChunk("x") + dataChunk(5000, damaged) + tail, -1, DecompressionFailed},
        {"refused file behind blocks in flight", many + tail, 1, StoppedByVisitor},
        {"refused file before blocks in flight", many + tail, 0, StoppedByVisitor},
        {"framing broken behind many", many + tail + "\x01", -1, TruncatedHeader},
        {"damaged before broken framing", many + dataChunk(5000, damaged) + tail + chunk(9, "xy").substr(0, 5), -1,
         DecompressionFailed},
        {"unsafe path behind many", many + fileChunk("../x") + tail, -1, UnsafePath},
        {"short data chunk", many + chunk(0, "abc") + tail, -1, ShortDataChunk},
        {"too large to inflate ahead, and odd sizes", many + huge + odd + tail, -1, None},
    };
    const std::vector<AheadRun> runs = {{0, 0, 8}, {0, 3, 8}, {1, 0, 8}, {3, 0, 8}, {7, 1, 8}, {7, 0, 0}, {4, 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder reference;
        reference.refuseFilesFrom = c.refuseFilesFrom;
        const WalkResult expected = walkPayload(reinterpret_cast<const uint8_t*>(c.payload.data()),
                                                static_cast<uint32_t>(c.payload.size()), reference);
        EXPECT_EQ(expected.fault, c.fault);
        for (const AheadRun& run : runs) expectSameAhead(c.payload, reference, expected, run);
    }
}

// The first bytes of the payload the installer carries, as its format describes them.
TEST(ChunkWalker, WorkedExampleParsesAsVersionFileAndDataChunk) {
    // Contents of 18,744 bytes whose level-6 stream is 10,492 bytes long: an incompressible head
    // and a repetitive tail, the head grown until the stream has the length wanted.
    auto contentsWithHead = [](size_t head) {
        std::string contents;
        uint32_t x = 7;
        for (size_t i = 0; i < head; ++i) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            contents.push_back(static_cast<char>(x & 0xFF));
        }
        while (contents.size() < 18744) contents += "lexmora dictionary entry ";
        contents.resize(18744);
        return contents;
    };
    size_t low = 0;
    size_t high = 18744;
    while (high - low > 1) {
        const size_t middle = (low + high) / 2;
        (zlibStream(contentsWithHead(middle)).size() < 10492 ? low : high) = middle;
    }
    std::string contents;
    for (size_t head = low > 200 ? low - 200 : 0; head < low + 200; ++head) {
        contents = contentsWithHead(head);
        if (zlibStream(contents).size() == 10492) break;
    }
    ASSERT_EQ(zlibStream(contents).size(), 10492u);

    // The example's payload has no digest chunk; one would sit between the two chunks shown.
    std::string payload;
    StringSink sink(payload);
    PayloadWriter writer(sink, DigestMode::Omit);
    ASSERT_EQ(writer.addVersion("50530304"), WriteError::None);
    ASSERT_EQ(writer.addFile("api-ms-win-core-console-l1-1-0.dll", contents), WriteError::None);
    ASSERT_EQ(writer.finish(), WriteError::None);

    const std::string expectedStart =
        std::string("\x02\x00\x00\x10VERSION\x00" "50530304", 20) + std::string("\x01\x00\x00\x22", 4) +
        "api-ms-win-core-console-l1-1-0.dll" + std::string("\x00\x00\x29\x00", 4) +
        std::string("\x00\x00\x49\x38", 4) + "\x78\x9C";
    EXPECT_EQ(payload.substr(0, expectedStart.size()), expectedStart);

    Recorder recorder;
    const WalkResult result = walk(payload, recorder);
    EXPECT_EQ(result.fault, PayloadFault::None);
    EXPECT_THAT(recorder.events, ElementsAre("skip 2", "file api-ms-win-core-console-l1-1-0.dll @20", "block 18744->18744"));
    EXPECT_EQ(recorder.contents[0], contents);
}

TEST(ChunkWalker, VersionValueIsTheTextAfterTheKey) {
    const std::string good = versionChunk("50530304");
    Chunk version;
    version.kind = 2;
    version.length = static_cast<uint32_t>(good.size() - 4);
    version.body = reinterpret_cast<const uint8_t*>(good.data() + 4);
    std::string_view value;
    ASSERT_TRUE(versionValue(version, value));
    EXPECT_EQ(value, "50530304");
    const std::string other = chunk(2, "VERSIONX1");
    version.body = reinterpret_cast<const uint8_t*>(other.data() + 4);
    version.length = 9;
    EXPECT_FALSE(versionValue(version, value));
}

PayloadDigest digestOf(const std::string& payload) {
    return checkPayloadDigest(reinterpret_cast<const uint8_t*>(payload.data()), static_cast<uint32_t>(payload.size()));
}

const std::string kVersion = versionChunk("50530304");
const std::string kFiles = fileChunk("a.txt") + blockChunk("hello") + fileChunk("sub/b.txt") + blockChunk("bee");
// Written as a writer writes it: the digest chunk directly after the version chunk.
const std::string kSealed = withDigest(kVersion + kFiles, kVersion.size());
const uint32_t kValueOffset = static_cast<uint32_t>(kVersion.size()) + 4 + 6;

TEST(PayloadDigest, CoversEveryByteButItsOwnValue) {
    // The standard check value of CRC-32, with the four value bytes cut out of the middle.
    const std::string check = "1234\xDE\xAD\xBE\xEF" "56789";
    EXPECT_EQ(payloadCrc32(reinterpret_cast<const uint8_t*>(check.data()), 13, 4), 0xCBF43926u);

    const PayloadDigest good = digestOf(kSealed);
    ASSERT_EQ(good.status, DigestStatus::Matches);
    EXPECT_EQ(good.offset, kVersion.size());
    EXPECT_EQ(good.stored, readBigEndian32(reinterpret_cast<const uint8_t*>(kSealed.data()) + kValueOffset));
    Recorder recorder;
    EXPECT_EQ(walk(kSealed, recorder).fault, PayloadFault::None);
    EXPECT_THAT(recorder.contents, ElementsAre("hello", "bee")) << "readers skip the digest chunk";

    // One changed byte anywhere never leaves a matching digest. Only the framing ahead of the
    // digest's body can hide the chunk (its kind byte, the version chunk's header): no digest.
    std::vector<uint32_t> absentAt;
    for (uint32_t at = 0; at < kSealed.size(); ++at) {
        for (const uint8_t flip : {0x01, 0x80, 0xFF}) {
            std::string changed = kSealed;
            changed[at] = static_cast<char>(changed[at] ^ flip);
            const PayloadDigest digest = digestOf(changed);
            EXPECT_NE(digest.status, DigestStatus::Matches) << "byte " << at << " ^ " << int{flip};
            if (digest.status == DigestStatus::Absent) absentAt.push_back(at);
            if (at >= kValueOffset && at < kValueOffset + 4) {
                EXPECT_EQ(digest.computed, good.computed) << "the value is not covered: " << at;
            }
        }
    }
    EXPECT_THAT(absentAt, Each(AnyOf(Le(3u), Eq(static_cast<uint32_t>(kVersion.size())))));
    EXPECT_THAT(absentAt, Contains(static_cast<uint32_t>(kVersion.size())));

    // Cut at any chunk boundary after the digest chunk, or grown, it no longer matches, though
    // the walk alone finds nothing wrong.
    for (const uint32_t end : payloadtest::chunkEnds(kSealed)) {
        if (end <= kValueOffset || end == kSealed.size()) continue;
        EXPECT_EQ(walk(kSealed.substr(0, end), recorder).fault, PayloadFault::None) << end;
        EXPECT_EQ(digestOf(kSealed.substr(0, end)).status, DigestStatus::Mismatch) << end;
    }
    EXPECT_EQ(digestOf(kSealed + fileChunk("extra.txt")).status, DigestStatus::Mismatch);
}

TEST(PayloadDigest, IsLookedForAmongTheChunksBeforeTheFirstFileChunk) {
    const uint32_t v = static_cast<uint32_t>(kVersion.size());
    const std::vector<std::tuple<std::string, std::string, DigestStatus, uint32_t>> cases = {
        {"empty", "", DigestStatus::Absent, 0},
        {"without one", kVersion + kFiles, DigestStatus::Absent, 0},
        {"stray bytes end the search", kVersion + "\x03\x00", DigestStatus::Absent, 0},
        {"after the first file chunk", kVersion + kFiles + digestChunk(0), DigestStatus::Absent, 0},
        {"first", withDigest(kFiles, 0), DigestStatus::Matches, 0},
        {"after another kind", withDigest(kVersion + chunk(9, "x") + kFiles, v + 5), DigestStatus::Matches, v + 5},
        {"before a stray block", withDigest(kVersion + blockChunk("orphan") + kFiles, v), DigestStatus::Matches, v},
        {"alone", withDigest("", 0), DigestStatus::Matches, 0},
        {"empty body", kVersion + chunk(3, "") + kFiles, DigestStatus::Malformed, v},
        {"one byte short", kVersion + chunk(3, std::string("CRC32\0abc", 9)) + kFiles, DigestStatus::Malformed, v},
        {"one byte long", kVersion + chunk(3, std::string("CRC32\0abcde", 11)) + kFiles, DigestStatus::Malformed, v},
        {"other key", kVersion + chunk(3, std::string("CRC64\0abcd", 10)) + kFiles, DigestStatus::Malformed, v},
        {"no NUL", kVersion + chunk(3, "CRC32Xabcd") + kFiles, DigestStatus::Malformed, v},
        {"body past the end", kVersion + digestChunk(0).substr(0, 12), DigestStatus::Malformed, v},
        {"a second one", withDigest(kVersion + digestChunk(0) + kFiles, v), DigestStatus::Malformed, v + 14},
        {"a second, damaged", withDigest(kVersion + chunk(3, "x") + kFiles, v), DigestStatus::Malformed, v + 14},
    };
    for (const auto& [name, payload, status, offset] : cases) {
        const PayloadDigest digest = digestOf(payload);
        EXPECT_EQ(digest.status, status) << name;
        EXPECT_EQ(digest.offset, offset) << name;
        EXPECT_EQ(digest.problem != nullptr, status == DigestStatus::Malformed) << name;
    }
}

}  // namespace
}  // namespace swiftsetup
