#pragma once
// A front end and a logger that keep every call, in one list, in the order they came.

#include <cstdint>
#include <string>
#include <vector>

#include "ui/interface.h"

namespace swiftsetup {

struct RecordedCall {
    enum Kind { Status, Progress, Error, Warning, Information, Question, Finish, Log } kind;
    std::string text;     // status, message, question or logged command line
    std::string caption;  // of a box or question
    uint32_t position = 0;
    uint32_t total = 0;
};

class RecordingInterface final : public Interface, public Logger {
public:
    void finish() override { calls.push_back({RecordedCall::Finish, "", ""}); }
    void setStatus(const std::string& text) override { calls.push_back({RecordedCall::Status, text, ""}); }
    void setProgress(uint32_t position, uint32_t total) override {
        calls.push_back({RecordedCall::Progress, "", "", position, total});
    }
    void showWarning(const std::string& text, const std::string& caption) override {
        calls.push_back({RecordedCall::Warning, text, caption});
    }
    void showError(const std::string& text, const std::string& caption) override {
        calls.push_back({RecordedCall::Error, text, caption});
    }
    void showInformation(const std::string& text, const std::string& caption) override {
        calls.push_back({RecordedCall::Information, text, caption});
    }
    bool askYesNo(const std::string& text, const std::string& caption) override {
        calls.push_back({RecordedCall::Question, text, caption});
        return true;
    }
    bool install(Logger&) override { return false; }
    bool uninstall(Logger&) override { return false; }
    void log(int32_t, const std::string& text) override { calls.push_back({RecordedCall::Log, text, ""}); }

    std::vector<RecordedCall> of(RecordedCall::Kind kind) const {
        std::vector<RecordedCall> selected;
        for (const RecordedCall& call : calls) {
            if (call.kind == kind) selected.push_back(call);
        }
        return selected;
    }
    std::vector<std::string> statuses() const {
        std::vector<std::string> texts;
        for (const RecordedCall& call : of(RecordedCall::Status)) texts.push_back(call.text);
        return texts;
    }

    std::vector<RecordedCall> calls;
};

}  // namespace swiftsetup
