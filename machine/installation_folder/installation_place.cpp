#include "machine/installation_folder/installation_place.h"

#include "machine/installation_folder/location_guard.h"
#include "platform/file_facts.h"
#include "platform/links.h"
#include "platform/paths.h"
#include "platform/system_errors.h"
#include "text/digits.h"

namespace swiftsetup {

std::string filesOf(const std::string& folder) {
    if (!isLink(folder)) return folder;
    return canonicalFolderPath(finalPathName(folder)).value_or(std::string());
}

std::optional<Failure> findInstallationPlace(const std::string& named, InstallationPlace& place) {
    place.named = named;
    place.real = filesOf(named);
    if (place.real.empty()) return Failure{Step::InstallationFolder, error::kPathNotFound, named};
    if (place.linked() && isOnRemoteDrive(place.real)) {
        return Failure{Step::InstallationFolder, 0, named, "#installer_folder_link_unsupported"};
    }
    return std::nullopt;
}

std::string folderToRegister(const InstallationPlace& place, const Note& note) {
    if (!place.linked() || (isLink(place.named) && isSameFile(place.named, place.real))) return place.named;
    if (!entryExists(place.named)) {
        const uint32_t error = makeJunction(place.named, place.real);
        if (error == error::kSuccess) {
            note("the link was gone, and is made again: " + place.named + " leads to " + place.real);
            return place.named;
        }
        note("the link cannot be made again (system error " + digitsOf(error) + "): registered at " + place.real);
    } else {
        note(place.named + " no longer leads to the installation: registered at " + place.real);
    }
    return place.real;
}

}  // namespace swiftsetup
