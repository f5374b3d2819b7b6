#include "machine/installation_folder/staging.h"

#include "machine/product.h"
#include "platform/clock.h"
#include "platform/file_facts.h"
#include "platform/system_errors.h"
#include "text/digits.h"

namespace swiftsetup {

std::optional<Failure> unpackPayload(PayloadExtractor& payload, const std::string& staging, uint64_t ownSize,
                                     const ProgressReport& progress, const Note& note) {
    const uint64_t start = tickCount();
    if (!payload.extract(staging, progress, 0, static_cast<uint32_t>(ownSize))) return payload.failure();
    note("unpacked: " + digitsOf(payload.filesWritten()) + " files, " + digitsOf(payload.bytesWritten()) +
         " bytes, every one flushed to the disk and closed, in " + digitsOf(tickCount() - start) + " ms");
    return std::nullopt;
}

std::optional<Failure> copyUninstaller(const std::string& ownFile, uint64_t ownSize, const std::string& staging,
                                       const CopyProgress& progress, const Note& note) {
    const std::string uninstallerPath = staging + product::kUninstallerFile;
    uint32_t error = copyFileToDisk(ownFile, uninstallerPath, progress);
    // The program as it started: a copy of another size is no copy of it.
    if (error == error::kSuccess && fileSize(uninstallerPath) != ownSize) error = error::kDiskFull;
    if (error != error::kSuccess) return Failure{Step::UninstallerCopy, error, uninstallerPath};
    note("uninstaller copied and flushed: " + uninstallerPath + ", " + digitsOf(ownSize) + " bytes");
    return std::nullopt;
}

}  // namespace swiftsetup
