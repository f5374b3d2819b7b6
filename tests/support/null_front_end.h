#pragma once
// A front end that shows nothing and answers every question yes: the tests' stand-ins derive
// from it and override only what they watch.

#include <cstdint>
#include <string>

#include "ui/interface.h"

namespace swiftsetup {

class NullFrontEnd : public Interface {
public:
    void finish() override {}
    void setStatus(const std::string&) override {}
    void setProgress(uint32_t, uint32_t) override {}
    void showWarning(const std::string&, const std::string&) override {}
    void showError(const std::string&, const std::string&) override {}
    void showInformation(const std::string&, const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    bool install(Logger&) override { return false; }
    bool uninstall(Logger&) override { return false; }
};

}  // namespace swiftsetup
