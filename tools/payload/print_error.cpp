#include <cstdio>

#include "tools/payload/commands.h"

namespace swiftsetup {

void printError(const char* command, const std::string& text) {
    std::fflush(stdout);  // what was reported so far comes first
    std::fprintf(stderr, "lexmora-payload: %s: %s\n", command, text.c_str());
}

}  // namespace swiftsetup
