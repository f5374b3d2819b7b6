#pragma once
// The running program's command line, as the system gives it.

#include <string>
#include <vector>

namespace swiftsetup {

// The whole command line, as the program was started.
[[nodiscard]] std::string commandLineText();

// The arguments as the system splits them (quotation marks removed), argument 0 the program;
// empty when the command line cannot be split.
[[nodiscard]] std::vector<std::string> commandLineArguments();

}  // namespace swiftsetup
