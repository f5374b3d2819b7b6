// lexmora-payload: the release engineers' tool for the installer's payload. It packs a folder of
// application files into a payload, and lists, verifies and unpacks payloads, whether as payload
// files or as carried by an installer program, on this system and by the installer's own rules.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/payload/commands.h"

namespace {

constexpr char kUsage[] =
    "usage: lexmora-payload pack [--no-digest] [--require PATH]... --version VALUE FOLDER OUTPUT\n"
    "       lexmora-payload list [--raw] FILE\n"
    "       lexmora-payload verify [--raw] FILE\n"
    "       lexmora-payload unpack [--raw] FILE FOLDER\n"
    "\n"
    "pack    writes every file below FOLDER into the payload OUTPUT: a version chunk with VALUE\n"
    "        (printable ASCII), a digest chunk with the CRC-32 of the whole payload, then folder\n"
    "        by folder, names in case-insensitive order, each file in zlib blocks of 64 KiB. The\n"
    "        same files always give the same bytes. --no-digest leaves the digest chunk out.\n"
    "        --require PATH refuses a FOLDER without that file (\"/\" between levels; letter case\n"
    "        ignored, as on Windows). Symbolic links that lead outside FOLDER are refused.\n"
    "list    shows the path, size and blocks of every file a payload carries, the totals, the\n"
    "        digest and, for a program, who signed it. Exits with 1 on a broken payload and on a\n"
    "        digest that does not match or is malformed.\n"
    "verify  checks the digest, then walks the payload and inflates every block by the\n"
    "        installer's reading rules; on a broken payload or a digest that does not match or\n"
    "        is malformed it says what is wrong, with the byte offset, and exits with 1.\n"
    "unpack  writes the payload's files below FOLDER, by the same rules, for inspection.\n"
    "\n"
    "FILE is a payload file, or an installer program whose resource of type 256, name 256 is the\n"
    "payload; --raw reads FILE as a payload even when it looks like a program.\n"
    "Exit codes: 0 success, 1 refused input, broken payload or bad digest, 2 wrong usage.\n";

int usage() {
    std::fputs(kUsage, stderr);
    return swiftsetup::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace swiftsetup;
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return kExitSuccess;
    }

    bool raw = false;
    DigestMode digest = DigestMode::Write;
    bool versionGiven = false;
    std::string version;
    std::vector<std::string> operands;
    std::vector<std::string> required;
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--raw" && command != "pack") {
            raw = true;
        } else if (argument == "--no-digest" && command == "pack") {
            digest = DigestMode::Omit;
        } else if (argument == "--version" && command == "pack" && i + 1 < argc) {
            version = argv[++i];
            versionGiven = true;
        } else if (argument.rfind("--version=", 0) == 0 && command == "pack") {
            version = argument.substr(std::strlen("--version="));
            versionGiven = true;
        } else if (argument == "--require" && command == "pack" && i + 1 < argc) {
            required.push_back(argv[++i]);
        } else if (argument.rfind("--require=", 0) == 0 && command == "pack") {
            required.push_back(argument.substr(std::strlen("--require=")));
        } else if (argument.size() > 1 && argument[0] == '-' && argument != "--") {
            std::fprintf(stderr, "lexmora-payload: %s: unknown option %s\n", command.c_str(), argument.c_str());
            return usage();
        } else if (argument != "--") {
            operands.push_back(argument);
        }
    }

    if (command == "pack") {
        if (operands.size() != 2) return usage();
        if (!versionGiven) {
            printError("pack", "--version VALUE is required: the value of the payload's version chunk");
            return kExitUsage;
        }
        return packCommand(operands[0], operands[1], version, digest, required);
    }
    if (command == "list" && operands.size() == 1) return listCommand(operands[0], raw);
    if (command == "verify" && operands.size() == 1) return verifyCommand(operands[0], raw);
    if (command == "unpack" && operands.size() == 2) return unpackCommand(operands[0], operands[1], raw);
    return usage();
}
