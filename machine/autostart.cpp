#include "machine/autostart.h"

#include <vector>

#include "machine/autostart_match.h"
#include "machine/product.h"
#include "platform/registry_key.h"

namespace swiftsetup {

namespace {

std::vector<std::string> valuesStarting(const RegistryKey& run, const std::string& programPath) {
    const std::string folded = lowerAscii(programPath);
    std::vector<std::string> names;
    for (const std::string& name : run.valueNames()) {
        if (commandStartsProgram(run.queryString(name), folded)) names.push_back(name);
    }
    return names;
}

}  // namespace

bool removeAutostartEntries(const std::string& programPath, std::vector<std::string>* removed) {
    const RegistryKey run = currentUser().open(product::kRunKey, KeyAccess::ReadWrite);
    // Collect first, delete afterwards: deleting during the enumeration would shift its indexes.
    const std::vector<std::string> doomed = valuesStarting(run, programPath);
    bool allGone = true;
    for (const std::string& name : doomed) {
        const bool gone = run.deleteValue(name);
        if (gone && removed != nullptr) removed->push_back(name);
        allGone = gone && allGone;
    }
    return allGone;
}

bool canRemoveAutostartEntries(const std::string& programPath) {
    if (valuesStarting(currentUser().open(product::kRunKey, KeyAccess::Read), programPath).empty()) return true;
    return currentUser().open(product::kRunKey, KeyAccess::ReadWrite).isValid();
}

void replaceAutostartEntries(const std::string& programPath, const Note& note) {
    std::vector<std::string> removed;
    if (!removeAutostartEntries(programPath, &removed)) note("an earlier autostart value of the program could not be deleted");
    for (const std::string& name : removed) note("autostart value deleted: " + name);
    const bool written = currentUser().open(product::kRunKey, KeyAccess::Write).setString(product::kName, programPath);
    note(std::string(written ? "autostart value written: " : "autostart value could not be written: ") + product::kName +
         " = " + programPath);
}

std::string runKeyName() { return std::string("HKEY_CURRENT_USER\\") + product::kRunKey; }

}  // namespace swiftsetup
