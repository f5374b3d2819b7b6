#include "payload/payload_survey.h"

#include "payload/payload_digest.h"

namespace swiftsetup {
namespace {

class SizeCounter final : public ChunkVisitor {
public:
    explicit SizeCounter(std::vector<uint64_t>& sizes) : sizes_(sizes) {}
    bool onFile(const Chunk&, std::string_view) override {
        sizes_.push_back(0);
        return true;
    }
    bool onBlock(const Chunk&, const Block& block) override {
        sizes_.back() += block.declaredSize;
        return true;
    }

private:
    std::vector<uint64_t>& sizes_;
};

}  // namespace

PayloadSurvey surveyPayload(const uint8_t* data, uint32_t size) {
    PayloadSurvey survey;
    SizeCounter counter(survey.fileSizes);
    survey.fault = walkPayload(data, size, counter, InflateMode::SizesOnly).fault;
    if (survey.fault == PayloadFault::None) {
        const DigestStatus digest = checkPayloadDigest(data, size).status;
        survey.digestMismatch = digest == DigestStatus::Mismatch || digest == DigestStatus::Malformed;
    }
    return survey;
}

uint64_t roomForFiles(const std::vector<uint64_t>& fileSizes, uint32_t clusterBytes) {
    uint64_t room = 0;
    for (const uint64_t size : fileSizes) {
        room += clusterBytes == 0 ? size : (size + clusterBytes - 1) / clusterBytes * clusterBytes;
    }
    return room;
}

}  // namespace swiftsetup
