#pragma once
#include "install/interface.h"

namespace swiftsetup {

class Installer;

// Shows nothing and asks nothing: the uninstall's question is answered yes, and the question
// whether to try a held file again no (a quiet run that waited would hang). The quiet front end is one;
// the tests' stand-ins derive from it too and override only what they watch.
class SilentInterface : public Interface {
public:
    void finish() override {}
    void setStatus(const std::string&) override {}
    void setProgress(uint32_t, uint32_t) override {}
    void showWarning(const std::string&, const std::string&) override {}
    void showError(const std::string&, const std::string&) override {}
    void showInformation(const std::string&, const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    bool askRetryCancel(const std::string&, const std::string&) override { return false; }
};

// The quiet front end: it runs the sequence on the calling thread, so its result becomes the
// process exit code.
class DummyInterface final : public SilentInterface {
public:
    explicit DummyInterface(Installer& installer) : installer_(installer) {}
    bool install(Logger& logger) override;
    bool uninstall(Logger& logger) override;

private:
    Installer& installer_;
};

}  // namespace swiftsetup
