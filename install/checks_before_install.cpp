#include "install/checks_before_install.h"

#include <vector>

#include "machine/installation_folder/work_folder_rules.h"
#include "payload/payload_survey.h"
#include "platform/file_facts.h"
#include "platform/system_errors.h"
#include "text/digits.h"

namespace swiftsetup {

std::optional<Failure> checkBeforeInstall(const PayloadExtractor& payload, const std::string& installFolder,
                                          uint64_t ownSize, const Note& note) {
    if (payload.payloadData() == nullptr) {
        Failure failure = payload.failure();
        failure.step = Step::PayloadCheck;
        return failure;
    }
    const PayloadSurvey survey = surveyPayload(payload.payloadData(), payload.payloadSize());
    if (survey.fault != PayloadFault::None) return Failure{Step::PayloadCheck, 0, {}, faultMessageKey(survey.fault)};
    if (survey.digestMismatch) return Failure{Step::PayloadCheck, 0, {}, "#extractor_digest_mismatch"};
    uint64_t unpacked = 0;
    for (const uint64_t size : survey.fileSizes) unpacked += size;
    note("payload: " + digitsOf(payload.payloadSize()) + " bytes, whole; " + digitsOf(survey.fileSizes.size()) +
         " files of " + digitsOf(unpacked) + " bytes");
    // The new version is unpacked beside the earlier one, which goes only afterwards: room for
    // all of it, with the uninstaller, while the earlier version is still there. The install
    // cannot take more than that, and in the end takes less.
    const std::optional<DiskSpace> space = diskSpaceAt(installFolder);
    if (!space) return std::nullopt;
    std::vector<uint64_t> files = survey.fileSizes;
    files.push_back(ownSize);
    files.push_back(workFolderMarkerText(std::string(32, '0')).size());  // the staging folder's marker
    const uint64_t needed = roomForFiles(files, space->clusterBytes);
    note("drive: " + digitsOf(needed) + " bytes needed, " + digitsOf(space->freeBytes) + " free");
    if (needed > space->freeBytes) return Failure{Step::DriveSpace, error::kDiskFull, installFolder};
    return std::nullopt;
}

}  // namespace swiftsetup
