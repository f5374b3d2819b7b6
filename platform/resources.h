#pragma once
// Resources of programs: the running program's own, in place in its memory, and those of another
// program file, read as data and never run.

#include <cstdint>
#include <string>
#include <string_view>

namespace swiftsetup {

// A version resource's type and name.
inline constexpr int kVersionResourceType = 16;  // RT_VERSION
inline constexpr int kVersionResourceName = 1;   // VS_VERSION_INFO

// A resource's bytes, never written, for as long as the module that holds them is loaded; or,
// when it could not be found or loaded, the system's error code.
struct ResourceBytes {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t error = 0;
    [[nodiscard]] bool loaded() const { return data != nullptr; }
};

// A resource of the running program, by its numeric type and name.
[[nodiscard]] ResourceBytes ownResource(int type, int name);

// A program file mapped as data for its resources, for as long as this object lives.
class ProgramFileResources {
public:
    explicit ProgramFileResources(const std::string& path);
    ~ProgramFileResources();
    ProgramFileResources(const ProgramFileResources&) = delete;
    ProgramFileResources& operator=(const ProgramFileResources&) = delete;

    [[nodiscard]] bool valid() const { return module_ != nullptr; }
    // The bytes of one resource; empty when the file has none of that type and name.
    [[nodiscard]] std::string_view bytes(int type, int name) const;

private:
    void* module_ = nullptr;
};

}  // namespace swiftsetup
