#pragma once
// The files of the good payload, in the order the payload holds them, that the extractor's test carries (make_extractor_fixtures.py
// writes them and lexmora-payload packs them), with the rule that makes their contents.

#include <cstdint>
#include <string>
#include <vector>

namespace payloadtest {

struct FixtureFile {
    std::string path;  // "/" between levels, as packed
    size_t size;
};

inline const std::vector<FixtureFile>& fixtureFiles() {
    static const std::vector<FixtureFile> files = {
        {"empty.dat", 0},
        {"lexmora.exe", 65537},
        {"parlavo.exe", 4000},
        {"first/top.txt", 100},
        {"first/second/mid.txt", 65536},
        {"first/second/third/deep.txt", 65535},
        {"Zeta/last.bin", 10},
    };
    return files;
}

inline std::string fixtureContents(const std::string& path, size_t size) {
    uint32_t x = 0x811C9DC5u;
    for (const char c : path) x = (x ^ static_cast<uint8_t>(c)) * 0x01000193u;
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = static_cast<char>(((x >> 28) & 1) != 0 ? (x >> 16) & 0xFF : 0x20 + (i % 64));
    }
    return out;
}

}  // namespace payloadtest
