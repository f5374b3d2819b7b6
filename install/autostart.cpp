#include "install/autostart.h"

#include <vector>

#include "install/autostart_match.h"
#include "install/product.h"
#include "platform/registry_key.h"

namespace swiftsetup {

void removeAutostartEntries(const std::string& programPath) {
    const std::string folded = lowerAscii(programPath);
    const RegistryKey run = currentUser().open(product::kRunKey, KeyAccess::ReadWrite);

    // Names first, deletions afterwards: deleting while enumerating would shift the indexes.
    std::vector<std::string> matching;
    for (const std::string& name : run.valueNames()) {
        if (commandStartsProgram(run.queryString(name), folded)) matching.push_back(name);
    }
    for (const std::string& name : matching) run.deleteValue(name);
}

}  // namespace swiftsetup
