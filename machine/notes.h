#pragma once
// What a step tells the run's log, a line at a time. The homes of what the installer leaves on the
// machine know nothing of the log or the front end: they are handed this.

#include <functional>
#include <string>

namespace swiftsetup {

using Note = std::function<void(const std::string& line)>;

}  // namespace swiftsetup
