#pragma once
// Signing programs in tests as release engineers will: a throwaway self-signed code-signing
// certificate and key made by the openssl command, then osslsigncode with SHA-256. Both commands
// are test dependencies: when one is missing the signing fails and says so, so that no test
// passes without having signed anything. Nothing here is kept beyond the test's own folder.

#include <stdio.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

namespace payloadtest {

inline constexpr char kTestSignerSubject[] = "/C=DK/O=Kelvora Test/CN=Lexmora Test Signing";
// The same subject as lexmora-payload shows it, most specific part first.
inline constexpr char kTestSigner[] = "CN=Lexmora Test Signing, O=Kelvora Test, C=DK";

// Runs a shell command; its exit status, with its standard output and error in output.
inline int runCommand(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Signs the program in into out with a certificate and key made in keys (once). Empty when it
// worked; otherwise what failed.
inline std::string signProgram(const std::filesystem::path& keys, const std::filesystem::path& in,
                               const std::filesystem::path& out) {
    std::string output;
    for (const std::string tool : {"openssl", "osslsigncode"}) {
        if (runCommand("command -v " + tool, output) != 0) {
            return tool + " is not installed; it is a test dependency (Debian package " + tool + ")";
        }
    }
    const std::filesystem::path key = keys / "signing-key.pem";
    const std::filesystem::path certificate = keys / "signing-certificate.pem";
    if (!std::filesystem::exists(certificate)) {
        std::filesystem::create_directories(keys);
        const std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '" +
                                 std::string(kTestSignerSubject) + "' -addext extendedKeyUsage=codeSigning" +
                                 " -keyout '" + key.string() + "' -out '" + certificate.string() + "'";
        if (runCommand(make, output) != 0) return "openssl could not make the signing certificate: " + output;
    }
    const std::string sign = "osslsigncode sign -h sha256 -certs '" + certificate.string() + "' -key '" +
                             key.string() + "' -in '" + in.string() + "' -out '" + out.string() + "'";
    if (runCommand(sign, output) != 0) return "osslsigncode could not sign " + in.string() + ": " + output;
    return {};
}

}  // namespace payloadtest
