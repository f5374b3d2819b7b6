#include "install/autostart.h"

#include <vector>

#include "install/autostart_match.h"
#include "install/product.h"
#include "platform/registry_key.h"

namespace swiftsetup {

bool removeAutostartEntries(const std::string& programPath) {
    const std::string folded = lowerAscii(programPath);
    const RegistryKey run = currentUser().open(product::kRunKey, KeyAccess::ReadWrite);

    // Collect first, delete afterwards: deleting during the enumeration would shift its indexes.
    std::vector<std::string> doomed;
    for (const std::string& name : run.valueNames()) {
        if (commandStartsProgram(run.queryString(name), folded)) doomed.push_back(name);
    }
    bool allGone = true;
    for (const std::string& name : doomed) allGone = run.deleteValue(name) && allGone;
    return allGone;
}

}  // namespace swiftsetup
