#pragma once
// A front end and logger for in-process tests of the sequences: it records everything the sequence
// shows, asks and logs, in order, and answers questions as told.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/null_front_end.h"

namespace swiftsetup {

class RecordingFrontEnd final : public NullFrontEnd, public Logger {
public:
    explicit RecordingFrontEnd(bool answer = true) : answer_(answer) {}

    struct Question {
        std::string text;
        std::string caption;
    };

    void finish() override { events.push_back("finish"); }
    void setStatus(const std::string& text) override {
        statuses.push_back(text);
        events.push_back("status:" + text);
    }
    void setProgress(uint32_t position, uint32_t total) override {
        progress.emplace_back(position, total);
        events.push_back("progress");
    }
    void showWarning(const std::string& text, const std::string&) override { events.push_back("warning:" + text); }
    void showError(const std::string& text, const std::string& caption) override {
        errors.push_back({text, caption});
        events.push_back("error:" + text);
    }
    void showInformation(const std::string& text, const std::string&) override {
        events.push_back("information:" + text);
    }
    bool askYesNo(const std::string& text, const std::string& caption) override {
        questions.push_back({text, caption});
        events.push_back("question");
        return answer_;
    }
    void log(int32_t level, const std::string& text) override {
        if (level == kLogCommandLine) logged.push_back(text);
        events.push_back("log:" + std::to_string(level) + ":" + text);
    }

    std::vector<uint32_t> positions() const {
        std::vector<uint32_t> result;
        for (const auto& [position, total] : progress) result.push_back(position);
        return result;
    }

    std::vector<std::string> events;
    std::vector<std::string> statuses;
    std::vector<std::pair<uint32_t, uint32_t>> progress;
    std::vector<Question> questions;
    std::vector<Question> errors;  // text and caption of each error box
    std::vector<std::string> logged;  // the command lines

private:
    bool answer_;
};

}  // namespace swiftsetup
