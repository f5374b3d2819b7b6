#pragma once
// Links to folders for the removal tests. Windows lets only privileged users make them and Wine
// cannot make junctions, but Wine shows a Unix symbolic link to a folder as a directory that is
// a reparse point, which is what a junction or folder link looks like to a program. Under Wine
// the link is made with the host's own ln.

#include <string>

namespace removaltest {

// True when this runs under Wine (where makeFolderLink works).
bool runningUnderWine();

// Makes linkPath a link to the folder target. False when no link could be made.
bool makeFolderLink(const std::wstring& linkPath, const std::wstring& target);

// Removes a link made by makeFolderLink, leaving its target alone.
void removeFolderLink(const std::wstring& linkPath);

// Makes the drive letter (such as L'Q') a drive whose root is the folder; removeDrive undoes it.
bool makeDrive(wchar_t letter, const std::wstring& folder);
void removeDrive(wchar_t letter);

}  // namespace removaltest
