// lexmora-payload as release engineers run it: pack, list, verify and unpack on real folders,
// with the refusals, the reports of broken payloads and of the digest, and signed programs.
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "payload/chunk_walker.h"
#include "tests/payload/payload_bytes.h"
#include "tests/payload/signing_fixture.h"
#include "tools/payload/tree_scan.h"

namespace swiftsetup {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

struct ToolRun {
    int exitCode = -1;
    std::string output;  // standard output and error together
};

ToolRun tool(const std::string& arguments) {
    ToolRun run;
    const std::string command = std::string(LEXMORA_PAYLOAD_TOOL_PATH) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeWhole(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

class PayloadTool : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/lexmora-payload-test-XXXXXX";
        root_ = mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path root_;
};

std::vector<std::string> payloadPaths(const std::string& payload) {
    class Paths final : public ChunkVisitor {
    public:
        bool onFile(const Chunk&, std::string_view path) override {
            paths.emplace_back(path);
            return true;
        }
        bool onBlock(const Chunk&, const Block&) override { return true; }
        std::vector<std::string> paths;
    } visitor;
    walkPayload(reinterpret_cast<const uint8_t*>(payload.data()), static_cast<uint32_t>(payload.size()), visitor);
    return visitor.paths;
}

TEST_F(PayloadTool, PackWritesByTheConventionsAndRoundTripsThroughUnpack) {
    const fs::path tree = root_ / "tree";
    writeWhole(tree / "lexmora.exe", payloadtest::programLikeBytes(65537, 1));
    writeWhole(tree / "Parlavo.exe", payloadtest::programLikeBytes(65536, 2));
    writeWhole(tree / "_first.dat", payloadtest::programLikeBytes(65535, 3));
    writeWhole(tree / "empty.dat", "");
    writeWhole(tree / "b/z.txt", "z");
    writeWhole(tree / "B2/one/two/deep.txt", "three folder levels");
    writeWhole(tree / "a/A.txt", "upper");
    writeWhole(tree / "a/b.txt", "lower");
    fs::create_directories(tree / "a/nothing-here");

    const ToolRun first = tool("pack --version 50530304 " + (tree).string() + " " + (root_ / "one.bin").string());
    ASSERT_EQ(first.exitCode, 0) << first.output;
    EXPECT_THAT(first.output, HasSubstr("packed 8 files"));
    EXPECT_THAT(first.output, HasSubstr("a/nothing-here/: holds no files"));
    const ToolRun second = tool("pack --version=50530304 " + (tree).string() + " " + (root_ / "two.bin").string());
    ASSERT_EQ(second.exitCode, 0) << second.output;
    const std::string payload = readWhole(root_ / "one.bin");
    EXPECT_EQ(payload, readWhole(root_ / "two.bin")) << "identical input gives identical bytes";
    EXPECT_EQ(payload.substr(0, 20), payloadtest::versionChunk("50530304"));
    // The digest chunk second, its value computed here from the other bytes.
    ASSERT_GT(payload.size(), 34u);
    EXPECT_EQ(payload, payloadtest::withDigest(payload.substr(0, 20) + payload.substr(34), 20));
    char digestLine[64];
    std::snprintf(digestLine, sizeof(digestLine), "digest CRC-32 0x%08X, matches",
                  readBigEndian32(reinterpret_cast<const uint8_t*>(payload.data()) + 30));

    // A folder's own files first, then each subfolder; names without regard to case.
    EXPECT_THAT(payloadPaths(payload),
                ElementsAre("_first.dat", "empty.dat", "lexmora.exe", "Parlavo.exe", "a/A.txt", "a/b.txt",
                            "b/z.txt", "B2/one/two/deep.txt"));

    const ToolRun list = tool("list " + (root_ / "one.bin").string());
    EXPECT_EQ(list.exitCode, 0) << list.output;
    EXPECT_THAT(list.output, HasSubstr("version 50530304\n" + std::string(digestLine) + "\n"));
    EXPECT_THAT(list.output, HasSubstr("       65537       2  lexmora.exe"));
    EXPECT_THAT(list.output, HasSubstr("           0       0  empty.dat"));
    EXPECT_THAT(list.output, HasSubstr("8 files, 196638 bytes in 8 blocks; payload of " +
                                       std::to_string(payload.size()) + " bytes in 18 chunks"));
    EXPECT_THAT(list.output, Not(HasSubstr("other kinds")));

    const ToolRun verify = tool("verify " + (root_ / "one.bin").string());
    EXPECT_EQ(verify.exitCode, 0) << verify.output;
    EXPECT_THAT(verify.output, HasSubstr(digestLine));
    EXPECT_THAT(verify.output, HasSubstr("OK: 8 files, 196638 bytes in 8 blocks"));
    EXPECT_THAT(verify.output, Not(HasSubstr("note:"))) << "the digest chunk is no chunk of an unknown kind";

    const ToolRun unpack = tool("unpack " + (root_ / "one.bin").string() + " " + (root_ / "out/deeper").string());
    ASSERT_EQ(unpack.exitCode, 0) << unpack.output;
    for (const auto& entry : fs::recursive_directory_iterator(tree)) {
        const fs::path copy = root_ / "out/deeper" / fs::relative(entry.path(), tree);
        if (entry.is_regular_file()) {
            EXPECT_EQ(readWhole(copy), readWhole(entry.path())) << copy;
        }
    }
    EXPECT_FALSE(fs::exists(root_ / "out/deeper/a/nothing-here")) << "a payload carries no empty folders";
}

TEST_F(PayloadTool, EmptyFolderGivesAPayloadOfTheVersionAndDigestChunksAlone) {
    fs::create_directories(root_ / "empty");
    ASSERT_EQ(tool("pack --version 1 " + (root_ / "empty").string() + " " + (root_ / "p.bin").string()).exitCode, 0);
    EXPECT_EQ(readWhole(root_ / "p.bin"), payloadtest::withDigest(payloadtest::versionChunk("1"), 13));
    EXPECT_THAT(tool("verify " + (root_ / "p.bin").string()).output, HasSubstr("OK: 0 files"));

    const ToolRun plain = tool("pack --no-digest --version 1 " + (root_ / "empty").string() + " " +
                               (root_ / "plain.bin").string());
    ASSERT_EQ(plain.exitCode, 0) << plain.output;
    EXPECT_EQ(readWhole(root_ / "plain.bin"), payloadtest::versionChunk("1"));
    const ToolRun verify = tool("verify " + (root_ / "plain.bin").string());
    EXPECT_EQ(verify.exitCode, 0) << "a payload without a digest is valid";
    EXPECT_THAT(verify.output, HasSubstr("\nno digest\nOK: 0 files"));
    EXPECT_THAT(tool("list " + (root_ / "plain.bin").string()).output, HasSubstr("\nno digest\n"));

    EXPECT_THAT(tool("--help").output, HasSubstr("pack [--no-digest] [--require PATH]... --version VALUE FOLDER OUTPUT"));
    EXPECT_EQ(tool("list --no-digest " + (root_ / "p.bin").string()).exitCode, 2) << "an option of pack alone";
}

TEST_F(PayloadTool, DigestsThatDoNotMatchOrAreMalformedFailListAndVerify) {
    using payloadtest::chunk;
    using payloadtest::digestChunk;
    using payloadtest::withDigest;
    const std::string version = payloadtest::versionChunk("1");
    const std::string files = payloadtest::fileChunk("a.txt") + payloadtest::blockChunk("hello") +
                              payloadtest::fileChunk("b.txt");
    const std::string sealed = withDigest(version + files, version.size());
    std::string renamed = sealed;
    renamed[sealed.find("a.txt") + 3] = 'y';  // a.tyt: still a good path, another file
    const std::string mismatch = "mismatch (computed 0x";
    const std::string changed = "the digest does not match: the digest chunk at payload byte 13 holds CRC-32 0x";
    struct Case {
        std::string name;
        std::string bytes;
        int exitCode;  // of both commands
        std::vector<std::string> listSays;
        std::vector<std::string> verifySays;
    };
    const std::vector<Case> cases = {
        {"sealed", sealed, 0, {", matches\n"}, {", matches\nOK: 2 files"}},
        {"renamed", renamed, 1, {mismatch, "a.tyt"}, {mismatch, changed, "has changed since it was written"}},
        {"cut at a chunk", sealed.substr(0, sealed.size() - 9), 1, {mismatch}, {changed}},
        {"broken too", sealed + "\x01\x02", 1, {mismatch, "broken at payload byte"},
         {changed, "broken at payload byte " + std::to_string(sealed.size())}},
        {"short body", version + chunk(3, std::string("CRC32\0ab", 8)) + files, 1,
         {"\nmalformed digest chunk at payload byte 13\n"},
         {"malformed digest chunk at payload byte 13: its body is not \"CRC32\", a NUL byte and a 4-byte value"}},
        {"two digests", withDigest(version + digestChunk(7) + files, version.size()), 1,
         {"malformed digest chunk at payload byte 27"},
         {"malformed digest chunk at payload byte 27: a second digest chunk"}},
        {"after the files", version + files + digestChunk(7), 0, {"\nno digest\n", "1 chunks of other kinds"},
         {"\nno digest\n", "note: 1 digest chunks after the first file chunk were skipped"}},
        {"after another chunk", withDigest(version + chunk(9, "") + files, version.size() + 4), 0, {", matches"},
         {", matches", "note: the digest chunk is not the second chunk", "note: 1 chunks of unknown kinds"}},
    };
    for (const Case& c : cases) {
        writeWhole(root_ / "p.bin", c.bytes);
        const ToolRun list = tool("list " + (root_ / "p.bin").string());
        const ToolRun verify = tool("verify " + (root_ / "p.bin").string());
        EXPECT_EQ(list.exitCode, c.exitCode) << c.name << ": " << list.output;
        EXPECT_EQ(verify.exitCode, c.exitCode) << c.name << ": " << verify.output;
        for (const std::string& text : c.listSays) EXPECT_THAT(list.output, HasSubstr(text)) << c.name;
        for (const std::string& text : c.verifySays) EXPECT_THAT(verify.output, HasSubstr(text)) << c.name;
        EXPECT_EQ(verify.output.find("OK:") == std::string::npos, c.exitCode != 0) << c.name;
    }
}

TEST_F(PayloadTool, PackRefusesWhatThePayloadOrWindowsCannotCarry) {
    struct Case {
        std::string name;
        std::function<void(const fs::path&)> make;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"not UTF-8", [](const fs::path& t) { writeWhole(t / "caf\xE9.txt", "x"); }, "its name is not valid UTF-8"},
        {"colon", [](const fs::path& t) { writeWhole(t / "a:b.txt", "x"); }, "Windows cannot create a name with"},
        {"backslash", [](const fs::path& t) { writeWhole(t / "sub/a\\b.txt", "x"); }, "sub/a\\b.txt"},
        {"trailing dot", [](const fs::path& t) { writeWhole(t / "name.", "x"); }, "a dot or blank at its end"},
        {"device", [](const fs::path& t) { writeWhole(t / "aux.txt", "x"); }, "the name of a Windows device"},
        {"case", [](const fs::path& t) { writeWhole(t / "Read.me", "1"); writeWhole(t / "read.ME", "2"); },
         "differs only in letter case"},
        {"folder link", [](const fs::path& t) { fs::create_directories(t / "real"); fs::create_directory_symlink(t / "real", t / "link"); },
         "a symbolic link to a folder"},
        {"dangling link", [](const fs::path& t) { fs::create_directories(t); fs::create_symlink(t / "missing", t / "link"); },
         "a symbolic link that leads nowhere"},
        {"link leading out", [](const fs::path& t) { writeWhole(t.parent_path() / "secret", "s"); writeWhole(t / "sub/x", "x");
                                                      fs::create_symlink("../../secret", t / "sub/link"); },
         "sub/link: a symbolic link that leads outside the folder, to /tmp/"},
        {"fifo", [](const fs::path& t) { fs::create_directories(t); mkfifo((t / "pipe").c_str(), 0600); },
         "neither a file nor a folder"},
    };
    int index = 0;
    for (const Case& c : cases) {
        const fs::path tree = root_ / ("tree" + std::to_string(index++));
        c.make(tree);
        const fs::path output = root_ / "out.bin";
        const ToolRun run = tool("pack --version 1 '" + tree.string() + "' " + output.string());
        EXPECT_EQ(run.exitCode, 1) << c.name << ": " << run.output;
        EXPECT_THAT(run.output, HasSubstr(c.message)) << c.name;
        EXPECT_FALSE(fs::exists(output)) << c.name;
    }
    // A link to a file is packed as the file.
    writeWhole(root_ / "linked/real.txt", "contents");
    fs::create_symlink(root_ / "linked/real.txt", root_ / "linked/alias.txt");
    ASSERT_EQ(tool("pack --version 1 " + (root_ / "linked").string() + " " + (root_ / "l.bin").string()).exitCode, 0);
    EXPECT_THAT(tool("list " + (root_ / "l.bin").string()).output, HasSubstr("           8       1  alias.txt"));
    // --require: every named file, found as Windows finds names, or nothing is written.
    const std::string linked = (root_ / "linked").string() + " " + (root_ / "r.bin").string();
    const ToolRun missing = tool("pack --version 1 --require real.txt --require a.exe --require=b/c.exe " + linked);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.output, HasSubstr("it has no file a.exe or b/c.exe, which --require asks for"));
    EXPECT_FALSE(fs::exists(root_ / "r.bin"));
    EXPECT_EQ(tool("pack --version 1 --require REAL.TXT --require alias.txt " + linked).exitCode, 0);

    writeWhole(root_ / "self/file.txt", "x");
    const ToolRun inside = tool("pack --version 1 " + (root_ / "self").string() + " " + (root_ / "self/out.bin").string());
    EXPECT_EQ(inside.exitCode, 1);
    EXPECT_THAT(inside.output, HasSubstr("lies inside"));
    const ToolRun noVersion = tool("pack " + (root_ / "self").string() + " " + (root_ / "x.bin").string());
    EXPECT_EQ(noVersion.exitCode, 2);
    EXPECT_THAT(noVersion.output, HasSubstr("--version VALUE is required"));
    EXPECT_EQ(tool("pack --version 'tab\there' " + (root_ / "self").string() + " " + (root_ / "x.bin").string()).exitCode, 1);
    EXPECT_EQ(tool("frobnicate").exitCode, 2);
    EXPECT_EQ(tool("list").exitCode, 2);
}

TEST_F(PayloadTool, BrokenPayloadsNameTheRuleAndTheOffset) {
    const std::string good = payloadtest::versionChunk("1") + payloadtest::fileChunk("a.txt") + payloadtest::blockChunk("hello");
    std::string badStream = payloadtest::zlibStream("hello");
    badStream.back() ^= 1;
    const std::string at = "payload byte " + std::to_string(good.size()) + ", chunk 4";
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"stray", good + "\x01\x02", at + " (2 stray bytes): 1 to 3 bytes remain"},
        {"past-end", good + payloadtest::chunk(2, "abc").substr(0, 6),
         at + " (kind 2, body of 3 bytes): the chunk's length runs past the end of the payload "
              "[#extractor_invalid_chunk_size]"},
        {"orphan", payloadtest::blockChunk("x"),
         "payload byte 0, chunk 1 (kind 0, body of 13 bytes): a data chunk comes before the first file "
         "chunk [#extractor_unexpected_data_chunk]"},
        {"short", payloadtest::fileChunk("a") + payloadtest::chunk(0, "\x01"),
         "payload byte 5, chunk 2 (kind 0, body of 1 bytes) in \"a\": the data chunk's body is shorter "
         "than its 4-byte size field [#extractor_invalid_data_chunk]"},
        {"adler", payloadtest::fileChunk("b/c") + payloadtest::dataChunk(5, badStream),
         "payload byte 7, chunk 2 (kind 0, body of 17 bytes) in \"b/c\": the block's zlib stream does not "
         "inflate completely within its declared size [#extractor_decompression_failed]"},
        {"escape", good + payloadtest::fileChunk("../up.txt"),
         at + " (kind 1, body of 9 bytes): the file chunk's path could leave the target folder"},
    };
    for (const auto& [name, bytes, message] : cases) {
        writeWhole(root_ / name, bytes);
        const ToolRun verify = tool("verify " + (root_ / name).string());
        EXPECT_EQ(verify.exitCode, 1) << name;
        EXPECT_THAT(verify.output, HasSubstr("broken at " + message)) << name;
    }
    // Listing does not inflate: it finds the layout sound where only a stream is damaged.
    EXPECT_EQ(tool("list " + (root_ / "adler").string()).exitCode, 0);
    EXPECT_EQ(tool("list " + (root_ / "past-end").string()).exitCode, 1);
}

TEST_F(PayloadTool, UnpackKeepsToTheTargetFolder) {
    const fs::path target = root_ / "target";
    writeWhole(root_ / "escape.bin", payloadtest::fileChunk("kept.txt") + payloadtest::blockChunk("kept") +
                                         payloadtest::fileChunk("..\\escaped.txt") + payloadtest::blockChunk("x"));
    const ToolRun escape = tool("unpack " + (root_ / "escape.bin").string() + " " + target.string());
    EXPECT_EQ(escape.exitCode, 1);
    EXPECT_THAT(escape.output, HasSubstr("could leave the target folder"));
    EXPECT_EQ(readWhole(target / "kept.txt"), "kept");
    EXPECT_FALSE(fs::exists(root_ / "escaped.txt"));

    // A symbolic link already in the target folder is not followed out of it.
    fs::create_directories(root_ / "elsewhere");
    fs::create_directory_symlink(root_ / "elsewhere", target / "linked");
    writeWhole(root_ / "link.bin", payloadtest::fileChunk("linked/x.txt") + payloadtest::blockChunk("x"));
    const ToolRun link = tool("unpack " + (root_ / "link.bin").string() + " " + target.string());
    EXPECT_EQ(link.exitCode, 1);
    EXPECT_THAT(link.output, HasSubstr("cannot open a folder of \"linked/x.txt\""));
    EXPECT_TRUE(fs::is_empty(root_ / "elsewhere"));

    // Backslashes separate levels as slashes do.
    writeWhole(root_ / "slashes.bin", payloadtest::fileChunk("p\\q\\r.txt") + payloadtest::blockChunk("r"));
    ASSERT_EQ(tool("unpack " + (root_ / "slashes.bin").string() + " " + target.string()).exitCode, 0);
    EXPECT_EQ(readWhole(target / "p/q/r.txt"), "r");
}

TEST_F(PayloadTool, ReadsThePayloadOfAnInstallerProgram) {
    // A small 32-bit program whose resource 256/256 holds a payload (one of the fuzz seeds).
    const fs::path program = fs::path(LEXMORA_SOURCE_DIR) / "fuzz/corpus/pe_resource/pe32-payload";
    const ToolRun list = tool("list " + program.string());
    EXPECT_EQ(list.exitCode, 0) << list.output;
    EXPECT_THAT(list.output, HasSubstr("installer program (32-bit), payload resource 256/256 of 60 bytes at file offset 712"));
    EXPECT_THAT(list.output, HasSubstr("           9       1  lexmora.exe"));
    EXPECT_THAT(list.output, HasSubstr("\nno digest\n"));
    EXPECT_THAT(tool("list --raw " + program.string()).output, HasSubstr("payload file, 1024 bytes"));
    const ToolRun notPayload = tool("verify " + (fs::path(LEXMORA_SOURCE_DIR) / "fuzz/corpus/pe_resource/pe32-other-names").string());
    EXPECT_EQ(notPayload.exitCode, 0) << "its resource 256/256 is an empty payload";
    const ToolRun noProgram = tool("verify /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/notepad.exe");
    EXPECT_EQ(noProgram.exitCode, 1);
    EXPECT_THAT(noProgram.output, HasSubstr("without a resource of type 256, name 256"));
    EXPECT_EQ(tool("list " + (root_ / "missing").string()).exitCode, 1);
}

// What list says of the payload, without its first line (which names the file) and the line of
// the program's signature.
std::string payloadReport(const std::string& listing) {
    std::string report;
    std::istringstream lines(listing);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        if (line.rfind("signature: ", 0) != 0) report += line + "\n";
    }
    return report;
}

TEST_F(PayloadTool, ReadsSignedProgramsAsUnsignedOnesAndNamesTheSigner) {
    const fs::path program = fs::path(LEXMORA_SOURCE_DIR) / "fuzz/corpus/pe_resource/pe32-payload";
    const fs::path signedProgram = root_ / "signed.exe";
    ASSERT_EQ(payloadtest::signProgram(root_ / "keys", program, signedProgram), "");

    const ToolRun plain = tool("list " + program.string());
    const ToolRun list = tool("list " + signedProgram.string());
    EXPECT_EQ(list.exitCode, 0) << list.output;
    EXPECT_THAT(plain.output, HasSubstr("\nsignature: none\n"));
    EXPECT_THAT(list.output, HasSubstr("(32-bit), payload resource 256/256 of 60 bytes at file offset 712\n"
                                       "signature: Authenticode, signed by " + std::string(payloadtest::kTestSigner) + "\n"));
    EXPECT_EQ(payloadReport(list.output), payloadReport(plain.output));
    EXPECT_THAT(list.output, HasSubstr("           9       1  lexmora.exe"));

    const ToolRun verify = tool("verify " + signedProgram.string());
    EXPECT_EQ(verify.exitCode, 0) << verify.output;
    EXPECT_THAT(verify.output, HasSubstr("OK: 1 files, 9 bytes in 1 blocks"));
    const ToolRun unpack = tool("unpack " + signedProgram.string() + " " + (root_ / "out").string());
    EXPECT_EQ(unpack.exitCode, 0) << unpack.output;
    EXPECT_EQ(readWhole(root_ / "out/lexmora.exe"), "MZ sample");

    // A damaged table is reported as such; the payload is read all the same.
    const std::string bytes = readWhole(signedProgram);
    writeWhole(root_ / "cut.exe", bytes.substr(0, bytes.size() - 100));
    const ToolRun cut = tool("list " + (root_ / "cut.exe").string());
    EXPECT_EQ(cut.exitCode, 0) << cut.output;
    EXPECT_THAT(cut.output, HasSubstr("\nsignature: unreadable (the certificate table ("));
    EXPECT_THAT(cut.output, HasSubstr(") runs past the end of the file (" + std::to_string(bytes.size() - 100) + " bytes))\n"));
    EXPECT_EQ(payloadReport(cut.output), payloadReport(plain.output));
    EXPECT_EQ(tool("verify " + (root_ / "cut.exe").string()).exitCode, 0);
}

TEST(TreeScan, NamesSortWithoutRegardToCase) {
    std::vector<std::string> names = {"b", "A", "_x", "a1", "Z", "ä", "B.txt"};
    std::sort(names.begin(), names.end(), payloadNameLess);
    EXPECT_THAT(names, ElementsAre("_x", "A", "a1", "b", "B.txt", "Z", "ä"));
}

}  // namespace
}  // namespace swiftsetup
