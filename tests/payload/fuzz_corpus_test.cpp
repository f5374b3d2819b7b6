// Replays a committed fuzz corpus through its fuzz target's entry function, so every input that
// once found something new keeps being checked on every test run. The target aborts on any
// broken rule; the sanitizers of the host build watch every read.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(FuzzCorpus, EveryInputPassesTheTarget) {
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(LEXMORA_FUZZ_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
        ++inputs;
    }
    EXPECT_GE(inputs, 4) << "the corpus in " << LEXMORA_FUZZ_CORPUS << " is missing";
}
