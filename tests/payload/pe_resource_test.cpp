// The tool's PE resource reader: on programs built here in memory, on damaged ones, and on real
// Windows programs (Wine's own), compared with what icoutils' wrestool extracts from them. And its
// signature reader, on those programs signed by osslsigncode and on damaged certificate tables.
#include "tools/payload/pe_resource.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/payload/signing_fixture.h"
#include "tools/payload/pe_signature.h"

namespace swiftsetup {
namespace {

using Status = PeResourceLookup::Status;
using Resources = std::map<std::pair<uint16_t, uint16_t>, std::string>;

void put16(std::string& s, size_t at, uint32_t v) {
    s[at] = static_cast<char>(v);
    s[at + 1] = static_cast<char>(v >> 8);
}
void put32(std::string& s, size_t at, uint32_t v) {
    put16(s, at, v & 0xFFFF);
    put16(s, at + 2, v >> 16);
}

constexpr uint32_t kSectionRva = 0x3000;
constexpr size_t kOptional = 0x58;

// A program with one section, ".rsrc", holding a three-level resource directory (type, name,
// language 0x409) followed by the resources' bytes.
std::string buildProgram(bool pe32Plus, const Resources& resources) {
    std::map<uint16_t, std::vector<uint16_t>> types;
    for (const auto& [key, bytes] : resources) types[key.first].push_back(key.second);
    std::string section;
    auto table = [&](size_t entries) {
        const size_t at = section.size();
        section.resize(at + 16 + 8 * entries);
        put16(section, at + 14, static_cast<uint32_t>(entries));
        return at;
    };
    const size_t root = table(types.size());
    size_t typeIndex = 0;
    std::vector<std::pair<size_t, std::pair<uint16_t, uint16_t>>> dataEntries;
    for (const auto& [type, names] : types) {
        const size_t typeTable = table(names.size());
        put32(section, root + 16 + 8 * typeIndex, type);
        put32(section, root + 20 + 8 * typeIndex, 0x80000000u | static_cast<uint32_t>(typeTable));
        for (size_t i = 0; i < names.size(); ++i) {
            const size_t languageTable = table(1);
            put32(section, typeTable + 16 + 8 * i, names[i]);
            put32(section, typeTable + 20 + 8 * i, 0x80000000u | static_cast<uint32_t>(languageTable));
            put32(section, languageTable + 16, 0x409);
            dataEntries.push_back({languageTable + 20, {type, names[i]}});
        }
        ++typeIndex;
    }
    for (const auto& [field, key] : dataEntries) {
        const size_t entry = section.size();
        section.resize(entry + 16);
        put32(section, field, static_cast<uint32_t>(entry));
        const std::string& bytes = resources.at(key);
        put32(section, entry, kSectionRva + static_cast<uint32_t>(section.size()));
        put32(section, entry + 4, static_cast<uint32_t>(bytes.size()));
        section += bytes;
        section.resize((section.size() + 7) & ~size_t{7});
    }

    const size_t optionalSize = pe32Plus ? 240 : 224;
    std::string image(0x200, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    put32(image, 0x3C, 0x40);
    std::memcpy(image.data() + 0x40, "PE\0\0", 4);
    put16(image, 0x44, pe32Plus ? 0x8664 : 0x14C);
    put16(image, 0x46, 1);
    put16(image, 0x54, static_cast<uint32_t>(optionalSize));
    put16(image, kOptional, pe32Plus ? 0x20B : 0x10B);
    put32(image, kOptional + (pe32Plus ? 108 : 92), 16);
    const size_t resourceDirectory = kOptional + (pe32Plus ? 112 : 96) + 16;
    put32(image, resourceDirectory, kSectionRva);
    put32(image, resourceDirectory + 4, static_cast<uint32_t>(section.size()));
    const size_t header = kOptional + optionalSize;
    std::memcpy(image.data() + header, ".rsrc", 5);
    const size_t rawSize = (section.size() + 0x1FF) & ~size_t{0x1FF};
    put32(image, header + 8, static_cast<uint32_t>(section.size()));
    put32(image, header + 12, kSectionRva);
    put32(image, header + 16, static_cast<uint32_t>(rawSize));
    put32(image, header + 20, 0x200);
    section.resize(rawSize);
    return image + section;
}

PeResourceLookup find(const std::string& image, uint16_t type, uint16_t name) {
    return findPeResource(reinterpret_cast<const uint8_t*>(image.data()), image.size(), type, name);
}

std::string bytesOf(const std::string& image, const PeResourceLookup& lookup) {
    return image.substr(static_cast<size_t>(lookup.offset), lookup.size);
}

const Resources kResources = {
    {{256, 256}, "\x02\x00\x00\x08VERSION\x00payload"},
    {{256, 300}, "another payload"},
    {{16, 1}, "version information"},
    {{3, 1}, ""},
};

TEST(PeResource, FindsResourcesByTypeAndNameInBothProgramKinds) {
    for (const bool pe32Plus : {false, true}) {
        const std::string image = buildProgram(pe32Plus, kResources);
        for (const auto& [key, bytes] : kResources) {
            const PeResourceLookup lookup = find(image, key.first, key.second);
            ASSERT_EQ(lookup.status, Status::Found) << key.first << "/" << key.second;
            EXPECT_EQ(lookup.pe32Plus, pe32Plus);
            EXPECT_EQ(bytesOf(image, lookup), bytes);
        }
        EXPECT_EQ(find(image, 256, 257).status, Status::NotFound);
        EXPECT_EQ(find(image, 257, 256).status, Status::NotFound);
        EXPECT_EQ(find(image, 1, 256).status, Status::NotFound) << "the name must sit under its own type";
    }
}

TEST(PeResource, TellsWhatIsNotAProgramOrHasNoResources) {
    EXPECT_EQ(find("", 256, 256).status, Status::NotPe);
    EXPECT_EQ(find(std::string("\x02\x00\x00\x10VERSION", 12), 256, 256).status, Status::NotPe);
    std::string image = buildProgram(false, kResources);
    image[0x40] = 'N';
    EXPECT_EQ(find(image, 256, 256).status, Status::NotPe);

    image = buildProgram(true, kResources);
    put32(image, kOptional + 112 + 16, 0);
    EXPECT_EQ(find(image, 256, 256).status, Status::NoResources);
    image = buildProgram(false, kResources);
    put32(image, kOptional + 92, 2);  // only two data directories: none for resources
    EXPECT_EQ(find(image, 256, 256).status, Status::NoResources);
}

TEST(PeResource, DamagedDirectoriesAreReportedNotFollowed) {
    const std::string good = buildProgram(false, kResources);
    std::string image = good;
    put16(image, kOptional, 0x107);
    EXPECT_EQ(find(image, 256, 256).status, Status::Malformed);

    image = good;
    put32(image, kOptional + 96 + 16, 0x90000);  // the directory's address lies in no section
    EXPECT_EQ(find(image, 256, 256).status, Status::Malformed);

    image = good;
    put16(image, 0x200 + 14, 0x7FFF);  // far more root entries than the section holds
    EXPECT_EQ(find(image, 256, 256).status, Status::Malformed);

    // A type entry that leads to data instead of a table.
    image = good;
    for (size_t entry = 0x200 + 16;; entry += 8) {
        if (static_cast<uint8_t>(image[entry]) == 0 && static_cast<uint8_t>(image[entry + 1]) == 1) {
            image[entry + 7] = 0;
            break;
        }
    }
    const PeResourceLookup lookup = find(image, 256, 256);
    EXPECT_EQ(lookup.status, Status::Malformed);
    EXPECT_FALSE(lookup.problem.empty());

    // Every prefix of a program and every single damaged byte gives a status, never a crash,
    // and never a resource outside the file (AddressSanitizer watches the reads).
    for (size_t length = 0; length <= good.size(); ++length) {
        const PeResourceLookup cut = find(good.substr(0, length), 256, 256);
        if (cut.status == Status::Found) {
            EXPECT_LE(cut.offset + cut.size, length);
        }
    }
    for (size_t at = 0; at < good.size(); ++at) {
        for (const char value : {'\xFF', '\x80', '\x00'}) {
            image = good;
            image[at] = value;
            const PeResourceLookup damaged = find(image, 256, 256);
            if (damaged.status == Status::Found) {
                EXPECT_LE(damaged.offset + damaged.size, image.size());
            }
        }
    }
}

std::string run(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[65536];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
    return output;
}

std::string readWhole(const std::string& path) {
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    char buffer[65536];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0) bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
}

// Real programs, as a real linker and resource compiler made them: every numbered resource that
// wrestool lists is found, with the very bytes wrestool extracts.
TEST(PeResource, AgreesWithWrestoolOnRealPrograms) {
    const std::string folder = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/";
    ASSERT_TRUE(std::filesystem::exists("/usr/bin/wrestool")) << "icoutils is a test package";
    int compared = 0;
    for (const char* program : {"notepad.exe", "regedit.exe", "comctl32.dll"}) {
        const std::string path = folder + program;
        if (!std::filesystem::exists(path)) continue;
        const std::string image = readWhole(path);
        const std::string listing = run("wrestool -l '" + path + "'");
        std::map<std::pair<int, int>, bool> seen;
        std::istringstream lines(listing);
        for (std::string line; std::getline(lines, line);) {
            int type = 0;
            int name = 0;
            if (std::sscanf(line.c_str(), "--type=%d --name=%d", &type, &name) != 2) continue;
            if (seen[{type, name}]) continue;  // the first language is the one we read
            seen[{type, name}] = true;
            const PeResourceLookup lookup = find(image, static_cast<uint16_t>(type), static_cast<uint16_t>(name));
            ASSERT_EQ(lookup.status, Status::Found) << program << " " << type << "/" << name;
            EXPECT_TRUE(lookup.pe32Plus);
            const std::string expected = run("wrestool -x --raw --type=" + std::to_string(type) +
                                             " --name=" + std::to_string(name) + " '" + path + "'");
            if (bytesOf(image, lookup) != expected) {
                // wrestool writes every language of a name; ours is the first of them.
                EXPECT_EQ(expected.compare(0, lookup.size, bytesOf(image, lookup)), 0) << program << " " << type << "/" << name;
            }
            ++compared;
        }
        EXPECT_EQ(find(image, 256, 256).status, Status::NotFound) << program;
    }
    EXPECT_GE(compared, 20) << "real programs with resources must be found on this machine";
}

uint32_t get32(const std::string& s, size_t at) {
    const auto* p = reinterpret_cast<const uint8_t*>(s.data() + at);
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

PeSignature signatureOf(const std::string& image) {
    return readPeSignature(reinterpret_cast<const uint8_t*>(image.data()), image.size());
}

// Programs built in memory, then signed for real by osslsigncode.
class SignedProgram : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/lexmora-signed-test-XXXXXX";
        folder_ = mkdtemp(pattern);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string sign(const std::string& image) {
        const std::filesystem::path in = folder_ / "unsigned.exe";
        const std::filesystem::path out = folder_ / "signed.exe";
        std::FILE* file = std::fopen(in.c_str(), "wb");
        std::fwrite(image.data(), 1, image.size(), file);
        std::fclose(file);
        std::filesystem::remove(out);
        const std::string problem = payloadtest::signProgram(folder_ / "keys", in, out);
        EXPECT_EQ(problem, "");
        return readWhole(out.string());
    }

    std::filesystem::path folder_;
};

constexpr size_t kCertificateEntry = kOptional + 96 + 4 * 8;  // of a 32-bit program

TEST_F(SignedProgram, ResourcesAreFoundAsInTheUnsignedProgramAndTheSignerIsNamed) {
    for (const bool pe32Plus : {false, true}) {
        const std::string image = buildProgram(pe32Plus, kResources);
        const std::string signedImage = sign(image);
        ASSERT_GT(signedImage.size(), image.size()) << pe32Plus;
        const size_t field = kOptional + (pe32Plus ? 112 : 96) + 4 * 8;
        EXPECT_EQ(get32(signedImage, field), image.size()) << "the table follows the program's last byte";

        EXPECT_EQ(signatureOf(image).status, PeSignature::Status::None);
        EXPECT_EQ(describePeSignature(signatureOf(image)), "signature: none");
        // Bytes after the table (tools append such things) change nothing either.
        for (const std::string& program : {signedImage, signedImage + std::string(300, '\x5A')}) {
            const PeSignature signature = signatureOf(program);
            EXPECT_EQ(signature.status, PeSignature::Status::Authenticode) << signature.problem;
            EXPECT_EQ(signature.signer, payloadtest::kTestSigner);
            EXPECT_EQ(describePeSignature(signature),
                      std::string("signature: Authenticode, signed by ") + payloadtest::kTestSigner);
            for (const auto& [key, bytes] : kResources) {
                const PeResourceLookup unsignedLookup = find(image, key.first, key.second);
                const PeResourceLookup lookup = find(program, key.first, key.second);
                ASSERT_EQ(lookup.status, Status::Found) << key.first << "/" << key.second;
                EXPECT_EQ(lookup.offset, unsignedLookup.offset);
                EXPECT_EQ(bytesOf(program, lookup), bytes);
            }
        }
    }
}

TEST_F(SignedProgram, DamagedCertificateTablesAreUnreadableAndLeaveTheResourcesAlone) {
    const std::string good = sign(buildProgram(false, kResources));
    ASSERT_EQ(signatureOf(good).status, PeSignature::Status::Authenticode);
    const uint32_t table = get32(good, kCertificateEntry);
    const uint32_t tableSize = get32(good, kCertificateEntry + 4);
    ASSERT_EQ(uint64_t{table} + tableSize, good.size());
    const std::string oid("\x06\x0A\x2B\x06\x01\x04\x01\x82\x37\x02\x01\x04", 12);  // Authenticode's content
    const std::vector<std::tuple<std::string, std::function<void(std::string&)>, std::string>> cases = {
        {"cut short", [&](std::string& s) { s.resize(s.size() - 100); },
         "(" + std::to_string(tableSize) + " bytes at file offset " + std::to_string(table) +
             ") runs past the end of the file (" + std::to_string(good.size() - 100) + " bytes)"},
        {"size without offset", [&](std::string& s) { put32(s, kCertificateEntry, 0); }, "a size but no file offset"},
        {"entry of length 0", [&](std::string& s) { put32(s, table, 0); }, "a certificate entry's length (0 bytes)"},
        {"X.509 entry", [&](std::string& s) { put16(s, table + 6, 1); },
         "no entry of the certificate table is PKCS#7 signed data (the first is of type 0x0001, revision 0x0200)"},
        {"not DER", [&](std::string& s) { s.replace(table + 8, 16, std::string(16, '\0')); }, "not DER-encoded PKCS#7"},
        {"other content", [&](std::string& s) { s[s.find(oid) + 11] = 5; },
         "the signed content is of type 1.3.6.1.4.1.311.2.1.5, not Authenticode's"},
    };
    for (const auto& [name, damage, problem] : cases) {
        std::string image = good;
        damage(image);
        const PeSignature signature = signatureOf(image);
        EXPECT_EQ(signature.status, PeSignature::Status::Unreadable) << name;
        EXPECT_THAT(signature.problem, ::testing::HasSubstr(problem)) << name;
        EXPECT_EQ(describePeSignature(signature).rfind("signature: unreadable (", 0), 0u) << name;
        EXPECT_EQ(bytesOf(image, find(image, 256, 256)), kResources.at({256, 256})) << name;
    }

    // Every cut and every damaged byte of the table and its directory entry gives a status, never
    // a crash or a read outside the file (AddressSanitizer watches), and never touches the resources.
    std::vector<size_t> places;
    for (size_t at = kCertificateEntry; at < kCertificateEntry + 8; ++at) places.push_back(at);
    for (size_t at = table; at < good.size(); ++at) places.push_back(at);
    int authenticode = 0;
    for (const size_t at : places) {
        for (const uint8_t flip : {0x01, 0x80, 0xFF}) {
            std::string image = good;
            image[at] = static_cast<char>(image[at] ^ flip);
            const PeSignature signature = signatureOf(image);
            if (signature.status == PeSignature::Status::Authenticode) ++authenticode;
            if (signature.status == PeSignature::Status::Unreadable) {
                EXPECT_FALSE(signature.problem.empty()) << at;
            }
        }
        if (at < table) continue;
        const std::string cut = good.substr(0, at);
        EXPECT_EQ(signatureOf(cut).status, PeSignature::Status::Unreadable) << "cut at " << at;
        EXPECT_EQ(bytesOf(cut, find(cut, 256, 256)), kResources.at({256, 256})) << at;
    }
    // The signature is read, not verified: changed bytes of the signed hash still name the signer.
    EXPECT_GT(authenticode, 0);
}

}  // namespace
}  // namespace swiftsetup
