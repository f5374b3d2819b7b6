// Fuzz target of the PE resource reader of lexmora-payload: whatever the bytes, a lookup ends in
// a status, and a resource it finds lies wholly inside the file.
#include <cstdint>
#include <cstdlib>

#include "tools/payload/pe_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using swiftsetup::PeResourceLookup;
    for (const auto& [type, name] : {std::pair<uint16_t, uint16_t>{256, 256}, {16, 1}, {24, 1}}) {
        const PeResourceLookup lookup = swiftsetup::findPeResource(data, size, type, name);
        if (lookup.status == PeResourceLookup::Status::Found) {
            if (lookup.offset > size || lookup.size > size - lookup.offset) std::abort();
            // Every byte of the resource must be readable (AddressSanitizer watches this).
            volatile unsigned sum = 0;
            for (uint32_t i = 0; i < lookup.size; ++i) sum = sum + data[lookup.offset + i];
        } else if (lookup.status == PeResourceLookup::Status::Malformed && lookup.problem.empty()) {
            std::abort();
        }
        if (lookup.status != PeResourceLookup::Status::NotPe && !swiftsetup::looksLikePeProgram(data, size)) {
            std::abort();
        }
    }
    return 0;
}
