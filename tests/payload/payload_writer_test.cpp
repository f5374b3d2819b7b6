// The writer conventions, natively: round trips of odd shapes through the writer and the walker,
// the digest it writes, and everything the writer refuses to put into a payload.
#include "payload/payload_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload/chunk_format.h"
#include "payload/chunk_walker.h"
#include "payload/payload_digest.h"
#include "tests/payload/payload_bytes.h"

namespace swiftsetup {
namespace {

using ::testing::ElementsAre;

struct UnpackedFile {
    std::string path;
    std::string contents;
    std::vector<uint32_t> blockSizes;
    std::vector<std::string> streamHeads;
};

class Collector final : public ChunkVisitor {
public:
    bool onFile(const Chunk&, std::string_view path) override {
        files.push_back(UnpackedFile{std::string(path), {}, {}, {}});
        return true;
    }
    bool onBlock(const Chunk&, const Block& block) override {
        UnpackedFile& file = files.back();
        file.contents.append(reinterpret_cast<const char*>(block.bytes), block.length);
        file.blockSizes.push_back(block.declaredSize);
        file.streamHeads.emplace_back(reinterpret_cast<const char*>(block.stream), 2);
        return true;
    }
    bool onOtherChunk(const Chunk& chunk) override {
        std::string_view value;
        if (versionValue(chunk, value)) versions.emplace_back(value);
        return true;
    }
    std::vector<UnpackedFile> files;
    std::vector<std::string> versions;
};

PayloadDigest digestOf(const std::string& payload) {
    return checkPayloadDigest(reinterpret_cast<const uint8_t*>(payload.data()), static_cast<uint32_t>(payload.size()));
}

Collector unpack(const std::string& payload) {
    Collector collector;
    const WalkResult result = walkPayload(reinterpret_cast<const uint8_t*>(payload.data()),
                                          static_cast<uint32_t>(payload.size()), collector);
    EXPECT_EQ(result.fault, PayloadFault::None);
    return collector;
}

TEST(PayloadWriter, OddShapesRoundTrip) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"empty.dat", ""},
        {"one-byte.bin", "x"},
        {"just-under.bin", payloadtest::programLikeBytes(65535, 1)},
        {"exact.bin", payloadtest::programLikeBytes(65536, 2)},
        {"just-over.bin", payloadtest::programLikeBytes(65537, 3)},
        {"first/second/third/deep.txt", "three folder levels"},
        {"ünïcødé/ørken.txt", std::string(200000, 'z')},
    };
    std::string payload;
    StringSink sink(payload);
    PayloadWriter writer(sink);
    ASSERT_EQ(writer.addVersion("50530304"), WriteError::None);
    for (const auto& [path, contents] : files) ASSERT_EQ(writer.addFile(path, contents), WriteError::None) << path;
    ASSERT_EQ(writer.finish(), WriteError::None);
    EXPECT_EQ(writer.size(), payload.size());
    const PayloadDigest digest = digestOf(payload);
    EXPECT_EQ(digest.status, DigestStatus::Matches);
    EXPECT_EQ(digest.offset, 20u) << "directly after the version chunk";

    const Collector collector = unpack(payload);
    EXPECT_THAT(collector.versions, ElementsAre("50530304"));
    ASSERT_EQ(collector.files.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(collector.files[i].path, files[i].first);
        EXPECT_EQ(collector.files[i].contents, files[i].second) << files[i].first;
        for (const std::string& head : collector.files[i].streamHeads) EXPECT_EQ(head, "\x78\x9C");
    }
    // Blocks of 65,536 bytes; the last holds the remainder; an empty file has none.
    EXPECT_THAT(collector.files[0].blockSizes, ElementsAre());
    EXPECT_THAT(collector.files[1].blockSizes, ElementsAre(1u));
    EXPECT_THAT(collector.files[2].blockSizes, ElementsAre(65535u));
    EXPECT_THAT(collector.files[3].blockSizes, ElementsAre(65536u));
    EXPECT_THAT(collector.files[4].blockSizes, ElementsAre(65536u, 1u));
    EXPECT_THAT(collector.files[6].blockSizes, ElementsAre(65536u, 65536u, 65536u, 3392u));
}

TEST(PayloadWriter, SameInputGivesSameBytes) {
    auto write = [](DigestMode mode) {
        std::string payload;
        StringSink sink(payload);
        PayloadWriter writer(sink, mode);
        writer.addVersion("7");
        writer.addFile("a/b.bin", payloadtest::programLikeBytes(150000, 9));
        writer.finish();
        return payload;
    };
    EXPECT_EQ(write(DigestMode::Write), write(DigestMode::Write));
    EXPECT_EQ(write(DigestMode::Omit), write(DigestMode::Omit));
    EXPECT_EQ(write(DigestMode::Write), payloadtest::withDigest(write(DigestMode::Omit), 13));
}

// The bytes written are the chunks by the conventions, the digest chunk computed independently
// by the test helpers; with and without a version chunk, and with nothing at all.
TEST(PayloadWriter, DigestChunkFollowsTheVersionChunkAndIsCompletedByFinish) {
    using payloadtest::blockChunk;
    using payloadtest::fileChunk;
    using payloadtest::versionChunk;
    using payloadtest::withDigest;
    const std::string files = fileChunk("a.txt") + blockChunk("hello") + fileChunk("b/c.txt");
    struct Case {
        std::string name;
        DigestMode mode;
        bool version;
        bool files;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"version and files", DigestMode::Write, true, true, withDigest(versionChunk("9") + files, 13)},
        {"files alone: digest first", DigestMode::Write, false, true, withDigest(files, 0)},
        {"version alone", DigestMode::Write, true, false, withDigest(versionChunk("9"), 13)},
        {"nothing: the digest alone", DigestMode::Write, false, false, withDigest("", 0)},
        {"no digest", DigestMode::Omit, true, true, versionChunk("9") + files},
        {"no digest, nothing", DigestMode::Omit, false, false, ""},
    };
    for (const Case& c : cases) {
        std::string payload;
        StringSink sink(payload);
        PayloadWriter writer(sink, c.mode);
        if (c.version) {
            ASSERT_EQ(writer.addVersion("9"), WriteError::None);
        }
        if (c.files) {
            ASSERT_EQ(writer.addFile("a.txt", "hello"), WriteError::None);
            ASSERT_EQ(writer.addFile("b/c.txt", ""), WriteError::None);
        }
        if (c.mode == DigestMode::Write && (c.version || c.files)) {
            EXPECT_EQ(digestOf(payload).status, DigestStatus::Mismatch) << c.name << ": a placeholder until finished";
        }
        ASSERT_EQ(writer.finish(), WriteError::None) << c.name;
        EXPECT_EQ(payload, c.expected) << c.name;
        EXPECT_EQ(writer.size(), payload.size()) << c.name;
        EXPECT_EQ(digestOf(payload).status, c.mode == DigestMode::Write ? DigestStatus::Matches : DigestStatus::Absent)
            << c.name;

        // Finished means finished: nothing more reaches the payload, and finishing again is harmless.
        const uint8_t byte = 'x';
        EXPECT_EQ(writer.addVersion("1"), WriteError::Finished) << c.name;
        EXPECT_EQ(writer.beginFile("late.txt"), WriteError::Finished) << c.name;
        EXPECT_EQ(writer.addBlock(&byte, 1), WriteError::Finished) << c.name;
        EXPECT_EQ(writer.finish(), WriteError::None) << c.name;
        EXPECT_EQ(payload, c.expected) << c.name;
    }
}

TEST(PayloadWriter, DigestIsPatchedWhereTheSinkBegan) {
    std::string out = "bytes before the payload";
    StringSink sink(out);
    PayloadWriter writer(sink);
    ASSERT_EQ(writer.addFile("a", "contents"), WriteError::None);
    ASSERT_EQ(writer.finish(), WriteError::None);
    EXPECT_EQ(out.substr(0, 24), "bytes before the payload");
    EXPECT_EQ(digestOf(out.substr(24)).status, DigestStatus::Matches);
    const uint8_t two[] = {'y', 'z'};
    EXPECT_FALSE(sink.patch(out.size() - 24 - 1, two, 2)) << "only bytes that went through the sink";
}

TEST(PayloadWriter, RefusesPathsThePayloadOrWindowsCannotCarry) {
    const std::vector<std::pair<std::string, WriteError>> cases = {
        {std::string(kMaxChunkLength + 1, 'a'), WriteError::PathTooLong},
        {std::string(40000, 'a'), WriteError::PathTooLongForWindows},
        {"caf\xC3", WriteError::PathNotUtf8},           // cut short
        {"\xC3\x28.txt", WriteError::PathNotUtf8},      // bad continuation
        {"\xC0\xAF.txt", WriteError::PathNotUtf8},      // overlong "/"
        {"\xED\xA0\x80.txt", WriteError::PathNotUtf8},  // a surrogate
        {"\xF5\x80\x80\x80", WriteError::PathNotUtf8},  // above U+10FFFF
        {"\xFF.txt", WriteError::PathNotUtf8},
        {"", WriteError::PathUnsafe},
        {"../x", WriteError::PathUnsafe},
        {"/abs", WriteError::PathUnsafe},
        {"a//b", WriteError::PathUnsafe},
        {"./a", WriteError::PathUnsafe},
        {"C:/x", WriteError::PathUnsafe},
        {"a/b.txt:stream", WriteError::PathUnsafe},
        {"a\\b", WriteError::NameNotWindows},
        {"a<b", WriteError::NameNotWindows},
        {"what?", WriteError::NameNotWindows},
        {"tab\there", WriteError::NameNotWindows},
        {"name.", WriteError::NameNotWindows},
        {"folder /x", WriteError::NameNotWindows},
        {"CON", WriteError::NameNotWindows},
        {"sub/nul.txt", WriteError::NameNotWindows},
        {"Com1.log", WriteError::NameNotWindows},
        {"LPT9", WriteError::NameNotWindows},
        {std::string(256, 'n'), WriteError::NameNotWindows},
    };
    for (const auto& [path, expected] : cases) {
        std::string payload;
        StringSink sink(payload);
        PayloadWriter writer(sink);
        EXPECT_EQ(writer.beginFile(path), expected) << path.substr(0, 40);
        EXPECT_TRUE(payload.empty()) << "nothing is written for a refused path";
        EXPECT_STRNE(writeErrorDescription(expected), "unknown error");
    }
    for (const std::string& path : std::vector<std::string>{"console.txt", "COM10", "LPT0", "nul_x", "a.b.c",
                                                            std::string(255, 'n'), "\xF0\x9F\x93\x96 book.txt"}) {
        EXPECT_EQ(checkPayloadPath(path), WriteError::None) << path;
    }
}

TEST(PayloadWriter, RefusesBadVersionsAndBlocks) {
    std::string payload;
    StringSink sink(payload);
    PayloadWriter writer(sink);
    EXPECT_EQ(writer.addVersion("tab\t"), WriteError::VersionInvalid);
    EXPECT_EQ(writer.addVersion("\xC3\xA6"), WriteError::VersionInvalid);
    EXPECT_EQ(writer.addVersion(std::string(kMaxChunkLength, '1')), WriteError::VersionInvalid);
    const uint8_t byte = 0;
    EXPECT_EQ(writer.addBlock(&byte, 1), WriteError::NoFileOpen);
    ASSERT_EQ(writer.beginFile("a"), WriteError::None);
    EXPECT_EQ(writer.addBlock(&byte, 0), WriteError::BlockSizeInvalid);
    const std::string big(kBlockSize + 1, 'b');
    EXPECT_EQ(writer.addBlock(reinterpret_cast<const uint8_t*>(big.data()), big.size()), WriteError::BlockSizeInvalid);
    EXPECT_EQ(payload, payloadtest::digestChunk(0) + payloadtest::fileChunk("a")) << "the digest's placeholder, then the file";
}

// Counts bytes without keeping them, so a payload at the size limit costs nothing.
class CountingSink final : public ByteSink {
public:
    bool write(const uint8_t*, size_t length) override {
        count += length;
        return true;
    }
    uint64_t count = 0;
};

TEST(PayloadWriter, RefusesToGrowPastFourGibibytes) {
    CountingSink sink;
    PayloadWriter writer(sink, DigestMode::Omit);  // a CRC-32 of 4 GiB would only cost time
    const std::string value(kMaxChunkLength - kVersionKeyLength, '1');
    WriteError error = WriteError::None;
    int chunks = 0;
    while ((error = writer.addVersion(value)) == WriteError::None) ++chunks;
    EXPECT_EQ(error, WriteError::PayloadTooLarge);
    EXPECT_EQ(chunks, 255);
    EXPECT_LE(sink.count, 0xFFFFFFFFu);
    EXPECT_EQ(sink.count, writer.size());
}

TEST(PayloadWriter, SinkFailuresAreReported) {
    class FailingSink final : public ByteSink {
    public:
        bool write(const uint8_t*, size_t) override { return false; }
    } sink;
    PayloadWriter writer(sink);
    EXPECT_EQ(writer.addVersion("1"), WriteError::OutputFailed);
    EXPECT_EQ(writer.size(), 0u);

    // A sink that cannot go back cannot take a digest, but it can take a payload without one.
    CountingSink forwardOnly;
    PayloadWriter digesting(forwardOnly);
    ASSERT_EQ(digesting.addVersion("1"), WriteError::None);
    EXPECT_EQ(digesting.finish(), WriteError::PatchFailed);
    EXPECT_STRNE(writeErrorDescription(WriteError::PatchFailed), "unknown error");
    PayloadWriter plain(forwardOnly, DigestMode::Omit);
    ASSERT_EQ(plain.addVersion("1"), WriteError::None);
    EXPECT_EQ(plain.finish(), WriteError::None);
}

TEST(PayloadWriter, Utf16LengthCountsSurrogatePairs) {
    EXPECT_EQ(utf16Length("abc"), 3u);
    EXPECT_EQ(utf16Length("\xC3\xB8"), 1u);
    EXPECT_EQ(utf16Length("\xE2\x82\xAC"), 1u);
    EXPECT_EQ(utf16Length("\xF0\x9F\x93\x96"), 2u);
}

}  // namespace
}  // namespace swiftsetup
