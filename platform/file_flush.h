#pragma once
// The end of a file's writing: what it takes for the file to be on the disk and closed.

#include <windows.h>

#include <string>

#include "platform/handles.h"

namespace swiftsetup {

// Flushes the file to the disk (when asked: FlushFileBuffers, which returns once the system and
// the drive hold nothing of it unwritten) and closes it. ERROR_SUCCESS, or the first error of the
// two; a call that fails without saying why counts as ERROR_WRITE_FAULT.
DWORD flushAndClose(UniqueHandle file, bool flush);

// The same for a file already written and closed, opened again by its path, so that a power cut
// from now on finds it whole.
DWORD flushToDisk(const std::string& path);

}  // namespace swiftsetup
