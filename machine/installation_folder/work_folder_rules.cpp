#include "machine/installation_folder/work_folder_rules.h"

#include "machine/installation_folder/location_guard.h"
#include "text/digits.h"

namespace swiftsetup {
namespace {

constexpr std::string_view kStagingInfix = ".new-";
constexpr std::string_view kAsideInfix = ".old-";
constexpr size_t kTagDigits = 8;

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

}  // namespace

std::string workFolderPath(std::string_view folder, WorkFolderKind kind, uint32_t tag) {
    std::string path(folder);
    path += kind == WorkFolderKind::Staging ? kStagingInfix : kAsideInfix;
    return path + digitsOf(tag, 16, kTagDigits);
}

bool isWorkFolderPath(std::string_view path) {
    const std::optional<std::string> canonical = canonicalFolderPath(path);
    if (!canonical || *canonical != path || isVolumeRoot(path)) return false;
    const std::string_view name = path.substr(path.find_last_of('\\') + 1);
    const size_t infixLength = kStagingInfix.size();
    // Something before the infix: the installation folder's own name.
    if (name.size() <= infixLength + kTagDigits) return false;
    const std::string_view infix = name.substr(name.size() - kTagDigits - infixLength, infixLength);
    if (infix != kStagingInfix && infix != kAsideInfix) return false;
    for (const char c : name.substr(name.size() - kTagDigits)) {
        if (!isHexDigit(c)) return false;
    }
    return true;
}

WorkFolderVerdict judgeWorkFolder(const WorkFolderFacts& facts) {
    if (!isWorkFolderPath(facts.recordedPath) || !facts.isFolder || facts.isLink) return WorkFolderVerdict::Forget;
    if (facts.isEmpty) return WorkFolderVerdict::Remove;
    if (facts.recordedToken.empty() || facts.marker != workFolderMarkerText(facts.recordedToken)) {
        return WorkFolderVerdict::Forget;
    }
    return WorkFolderVerdict::Remove;
}

std::string workFolderMarkerText(std::string_view token) {
    return "Lexmora setup work folder " + std::string(token) + "\r\n";
}

}  // namespace swiftsetup
