#include "tools/payload/pe_signature.h"

#include <cstdio>

#include "tools/payload/authenticode_signer.h"
#include "tools/payload/pe_resource.h"
#include "tools/payload/printable.h"

namespace swiftsetup {

namespace {

// WIN_CERTIFICATE: length of the entry with this header, revision, type, then the certificate.
constexpr uint32_t kCertificateHeaderSize = 8;
constexpr uint16_t kRevision2 = 0x0200;
constexpr uint16_t kPkcsSignedData = 0x0002;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

std::string hex16(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof(text), "0x%04X", static_cast<unsigned>(value));
    return text;
}

PeSignature unreadable(std::string problem) {
    PeSignature signature;
    signature.status = PeSignature::Status::Unreadable;
    signature.problem = std::move(problem);
    return signature;
}

}  // namespace

PeSignature readPeSignature(const uint8_t* data, size_t size) {
    const PeDataDirectory entry = findPeDataDirectory(data, size, kPeCertificateDirectory);
    switch (entry.status) {
        case PeDataDirectory::Status::NotPe: return {};
        case PeDataDirectory::Status::Malformed: return unreadable(entry.problem);
        case PeDataDirectory::Status::Absent:
            if (entry.size != 0) return unreadable("the certificate table's entry has a size but no file offset");
            return {};
        case PeDataDirectory::Status::Present: break;
    }
    // The one data directory whose address is a file offset: the table is not loaded with the image.
    const uint64_t start = entry.address;
    if (start > size || entry.size > size - start) {
        return unreadable("the certificate table (" + std::to_string(entry.size) + " bytes at file offset " +
                          std::to_string(start) + ") runs past the end of the file (" + std::to_string(size) +
                          " bytes)");
    }
    if (entry.size < kCertificateHeaderSize) return unreadable("the certificate table is too short for an entry");

    // Entries follow each other, each starting on an 8-byte boundary; the first of PKCS#7 signed
    // data is the signature.
    std::string firstOther;
    uint64_t at = 0;
    while (entry.size - at >= kCertificateHeaderSize) {
        const uint8_t* header = data + start + at;
        const uint32_t length = le32(header);
        const uint16_t revision = le16(header + 4);
        const uint16_t type = le16(header + 6);
        if (length < kCertificateHeaderSize || length > entry.size - at) {
            return unreadable("a certificate entry's length (" + std::to_string(length) +
                              " bytes) does not fit the certificate table");
        }
        if (type == kPkcsSignedData && revision == kRevision2) {
            PeSignature signature;
            if (!authenticodeSigner(header + kCertificateHeaderSize, length - kCertificateHeaderSize,
                                    signature.signer, signature.problem)) {
                return unreadable(signature.problem);
            }
            signature.status = PeSignature::Status::Authenticode;
            return signature;
        }
        if (firstOther.empty()) firstOther = "of type " + hex16(type) + ", revision " + hex16(revision);
        at += (uint64_t{length} + 7) & ~uint64_t{7};
    }
    return unreadable("no entry of the certificate table is PKCS#7 signed data (the first is " + firstOther + ")");
}

std::string describePeSignature(const PeSignature& signature) {
    switch (signature.status) {
        case PeSignature::Status::None: return "signature: none";
        case PeSignature::Status::Authenticode:
            return "signature: Authenticode, signed by " +
                   (signature.signer.empty() ? std::string("a certificate without a subject") : printable(signature.signer));
        case PeSignature::Status::Unreadable: return "signature: unreadable (" + printable(signature.problem) + ")";
    }
    return "signature: of an unknown state";
}

}  // namespace swiftsetup
