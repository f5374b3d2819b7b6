#pragma once
#include "ui/interface.h"

namespace swiftsetup {

class Installer;

// The quiet front end: shows nothing, asks nothing (every question is answered yes) and runs the
// sequence on the calling thread, so its result becomes the process exit code.
class DummyInterface final : public Interface {
public:
    explicit DummyInterface(Installer& installer) : installer_(installer) {}

    void finish() override {}
    void setStatus(const std::string&) override {}
    void setProgress(uint32_t, uint32_t) override {}
    void showWarning(const std::string&, const std::string&) override {}
    void showError(const std::string&, const std::string&) override {}
    void showInformation(const std::string&, const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    bool install(Logger& logger) override;
    bool uninstall(Logger& logger) override;

private:
    Installer& installer_;
};

}  // namespace swiftsetup
