#pragma once
// The rules by which a folder beside an installation is known to be one that a run of ours
// worked in: the new version staged before the switch, or what was moved out of the way. A run
// that is cut off (ended, a power cut) leaves such a folder behind for the next run to remove.
// A name proves nothing, since anyone can make a folder of any name; so each work folder is
// recorded (its path and a token) before it exists, and holds a marker file with the same token.
// Portable: the facts about the folder are gathered by the caller.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace swiftsetup {

enum class WorkFolderKind {
    Staging,  // the new version, unpacked and waiting to be moved into place
    Aside,    // what is moved out of the way, to be deleted
};

// The name of a work folder beside folder: "<folder>.new-<tag>" or "<folder>.old-<tag>". The tag
// is eight hexadecimal digits that make the name new.
std::string workFolderPath(std::string_view folder, WorkFolderKind kind, uint32_t tag);

// True for a canonical path (remove/location_guard.h) whose last level is written as a work
// folder's name.
bool isWorkFolderPath(std::string_view path);

// What the caller found at a recorded path.
struct WorkFolderFacts {
    std::string recordedPath;
    std::string recordedToken;
    bool isFolder = false;  // exists, and is a folder
    bool isLink = false;    // a reparse point: never entered or removed as a work folder
    bool isEmpty = false;
    std::optional<std::string> marker;  // the marker file's contents, when it has one
};

enum class WorkFolderVerdict {
    Remove,  // ours: delete it and everything in it, then the record
    Forget,  // gone, or not provably ours: leave the folder alone and drop the record
};

// A recorded folder is ours when it is named as a work folder, is a real folder, and its marker
// holds the recorded token. An empty folder loses nothing when it goes (a run cut off before it
// could write the marker leaves one).
[[nodiscard]] WorkFolderVerdict judgeWorkFolder(const WorkFolderFacts& facts);

// The marker file's name inside a work folder, and what it holds.
inline constexpr char kWorkFolderMarker[] = "\\lexmora-setup.work";
std::string workFolderMarkerText(std::string_view token);

}  // namespace swiftsetup
