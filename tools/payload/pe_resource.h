#pragma once
// Finding a resource in a Windows program file by reading its PE headers and resource directory
// directly: no Windows calls, so release engineers can inspect installers on any system. Every
// offset is checked against the file, so a damaged or hostile file gives an error, never a crash.

#include <cstddef>
#include <cstdint>
#include <string>

namespace swiftsetup {

struct PeResourceLookup {
    enum class Status {
        Found,
        NotPe,        // no "MZ" header leading to a "PE" signature
        Malformed,    // a PE program whose headers or resource directory do not hold together
        NoResources,  // a PE program without a resource directory
        NotFound,     // the resource directory has no such type and name
    };
    Status status = Status::NotPe;
    std::string problem;  // what is wrong, for Malformed
    bool pe32Plus = false;  // a 64-bit program
    uint64_t offset = 0;    // of the resource's bytes in the file, when Found
    uint32_t size = 0;
};

// One entry of the optional header's data directories: an address (an RVA for most entries, a
// file offset for the certificate table) and a size, as the header says, unchecked.
struct PeDataDirectory {
    enum class Status {
        Present,
        Absent,     // the optional header has no such entry, or its address is 0
        NotPe,
        Malformed,  // the headers do not hold together
    };
    Status status = Status::NotPe;
    std::string problem;  // what is wrong, for Malformed
    bool pe32Plus = false;
    uint32_t address = 0;
    uint32_t size = 0;
};

inline constexpr uint32_t kPeResourceDirectory = 2;
inline constexpr uint32_t kPeCertificateDirectory = 4;

// True when the bytes begin with an "MZ" header that leads to a "PE\0\0" signature.
bool looksLikePeProgram(const uint8_t* data, size_t size);

// The data directory entry of the given index.
PeDataDirectory findPeDataDirectory(const uint8_t* data, size_t size, uint32_t index);

// The resource of numeric type and numeric name, in its first language, as Windows's resource
// lookup finds it in a program that carries one language per resource.
PeResourceLookup findPeResource(const uint8_t* data, size_t size, uint16_t type, uint16_t name);

}  // namespace swiftsetup
