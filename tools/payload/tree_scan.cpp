#include "tools/payload/tree_scan.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "payload/payload_writer.h"
#include "text/ascii_case.h"

namespace swiftsetup {

namespace {

// Beyond this many characters a path may no longer fit below an installation folder such as
// C:\Users\<name>\AppData\Local\Apps\Lexmora 3 within the 260 characters of classic Windows paths.
constexpr size_t kLongPathNote = 190;

struct DirectoryCloser {
    void operator()(DIR* d) const { closedir(d); }
};

class Scanner {
public:
    // realRoot: the root with every link resolved, the bound of every link's target.
    Scanner(TreeScan& scan, std::string realRoot) : scan_(scan), realRoot_(std::move(realRoot)) {}

    // Adds the files of one folder and of its subfolders; false once an error is recorded.
    bool folder(const std::string& diskFolder, const std::string& payloadPrefix) {
        std::vector<std::string> names;
        if (!readNames(diskFolder, names)) return false;

        std::vector<NamedFile> files;
        std::vector<std::string> folders;
        for (const std::string& name : names) {
            const std::string diskPath = diskFolder + "/" + name;
            const std::string shown = payloadPrefix + name;
            if (!isValidUtf8(name)) return refuse(shown, "its name is not valid UTF-8");
            if (const char* problem = windowsNameProblem(name)) {
                return refuse(shown, std::string("Windows cannot create a name with ") + problem);
            }
            struct stat facts {};
            if (lstat(diskPath.c_str(), &facts) != 0) return refuse(shown, std::strerror(errno));
            std::string target = diskPath;
            if (S_ISLNK(facts.st_mode)) {
                if (stat(diskPath.c_str(), &facts) != 0) {
                    return refuse(shown, "a symbolic link that leads nowhere");
                }
                if (S_ISDIR(facts.st_mode)) {
                    return refuse(shown, "a symbolic link to a folder (copy the folder instead)");
                }
                // The payload would carry bytes from anywhere on this machine.
                char resolved[PATH_MAX];
                if (realpath(diskPath.c_str(), resolved) == nullptr) return refuse(shown, std::strerror(errno));
                if (!isWithinFolder(realRoot_, resolved)) {
                    return refuse(shown, std::string("a symbolic link that leads outside the folder, to ") + resolved +
                                             " (copy the file in instead)");
                }
                target = resolved;
            }
            if (S_ISREG(facts.st_mode)) {
                files.push_back({name, target});
            } else if (S_ISDIR(facts.st_mode)) {
                folders.push_back(name);
            } else {
                return refuse(shown, "neither a file nor a folder");
            }
        }

        // Windows keeps one of two names that differ only in letter case.
        std::vector<std::string> all(names);
        std::sort(all.begin(), all.end(), payloadNameLess);
        for (size_t i = 1; i < all.size(); ++i) {
            if (lowerAscii(all[i - 1]) == lowerAscii(all[i])) {
                return refuse(payloadPrefix + all[i - 1],
                              "\"" + all[i] + "\" beside it differs only in letter case, and "
                              "Windows holds one of the two");
            }
        }

        std::sort(files.begin(), files.end(),
                  [](const NamedFile& a, const NamedFile& b) { return payloadNameLess(a.name, b.name); });
        std::sort(folders.begin(), folders.end(), payloadNameLess);
        for (const NamedFile& file : files) {
            if (!addFile(file.diskPath, payloadPrefix + file.name)) return false;
        }
        for (const std::string& name : folders) {
            const size_t before = scan_.files.size();
            if (!folder(diskFolder + "/" + name, payloadPrefix + name + "/")) return false;
            if (scan_.files.size() == before) {
                scan_.notes.push_back(payloadPrefix + name +
                                      "/: holds no files, and a payload carries files only, so "
                                      "this folder will not exist after installation");
            }
        }
        return true;
    }

private:
    struct NamedFile {
        std::string name;
        std::string diskPath;  // where its bytes are read: the file itself, or the one its link leads to
    };

    bool readNames(const std::string& diskFolder, std::vector<std::string>& names) {
        std::unique_ptr<DIR, DirectoryCloser> directory(opendir(diskFolder.c_str()));
        if (!directory) return refuse(diskFolder, std::strerror(errno));
        errno = 0;
        while (const dirent* entry = readdir(directory.get())) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        if (errno != 0) return refuse(diskFolder, std::strerror(errno));
        return true;
    }

    bool addFile(const std::string& diskPath, const std::string& payloadPath) {
        const WriteError problem = checkPayloadPath(payloadPath);
        if (problem != WriteError::None) return refuse(payloadPath, writeErrorDescription(problem));
        struct stat facts {};
        if (stat(diskPath.c_str(), &facts) != 0) return refuse(payloadPath, std::strerror(errno));
        PackEntry entry;
        entry.payloadPath = payloadPath;
        entry.diskPath = diskPath;
        entry.size = static_cast<uint64_t>(facts.st_size);
        scan_.totalBytes += entry.size;
        const size_t characters = utf16Length(payloadPath);
        if (characters > kLongPathNote) {
            scan_.notes.push_back(payloadPath + ": " + std::to_string(characters) +
                                  " characters long; below a long installation folder it may pass "
                                  "the 260-character path limit of Windows");
        }
        scan_.files.push_back(std::move(entry));
        return true;
    }

    bool refuse(const std::string& what, const std::string& why) {
        scan_.error = what + ": " + why;
        return false;
    }

    TreeScan& scan_;
    std::string realRoot_;
};

}  // namespace

bool payloadNameLess(std::string_view a, std::string_view b) {
    const std::string foldedA = lowerAscii(a);
    const std::string foldedB = lowerAscii(b);
    if (foldedA != foldedB) return foldedA < foldedB;
    return a < b;
}

TreeScan scanTree(const std::string& root) {
    TreeScan scan;
    struct stat facts {};
    if (stat(root.c_str(), &facts) != 0) {
        scan.error = root + ": " + std::strerror(errno);
    } else if (!S_ISDIR(facts.st_mode)) {
        scan.error = root + ": not a folder";
    } else {
        char realRoot[PATH_MAX];
        if (realpath(root.c_str(), realRoot) == nullptr) {
            scan.error = root + ": " + std::strerror(errno);
        } else {
            Scanner(scan, realRoot).folder(root, "");
        }
    }
    return scan;
}

std::vector<std::string> missingFiles(const TreeScan& scan, const std::vector<std::string>& required) {
    std::vector<std::string> missing;
    for (const std::string& path : required) {
        const bool found = std::any_of(scan.files.begin(), scan.files.end(), [&](const PackEntry& entry) {
            return equalsIgnoringAsciiCase(entry.payloadPath, path);
        });
        if (!found) missing.push_back(path);
    }
    return missing;
}

bool isWithinFolder(const std::string& folder, const std::string& path) {
    if (path.compare(0, folder.size(), folder) != 0) return false;
    return path.size() == folder.size() || folder == "/" || path[folder.size()] == '/';
}

}  // namespace swiftsetup
