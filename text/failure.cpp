#include "text/failure.h"

#include "text/digits.h"

namespace swiftsetup {

const char* stepName(Step step) {
    switch (step) {
        case Step::LogFile: return "log file";
        case Step::Account: return "account";
        case Step::Lock: return "lock";
        case Step::LocalAppData: return "local application data";
        case Step::InstallationFolder: return "installation folder";
        case Step::PayloadCheck: return "payload check";
        case Step::DriveSpace: return "drive space";
        case Step::Staging: return "staging folder";
        case Step::Unpacking: return "unpacking";
        case Step::UninstallerCopy: return "uninstaller copy";
        case Step::Claim: return "claim";
        case Step::EarlierVersions: return "removal of earlier versions";
        case Step::Switch: return "switch";
        case Step::Uninstall: return "uninstall";
    }
    return "unknown step";
}

std::string failureReason(const Failure& failure, Language language, const std::string& systemText) {
    if (failure.reasonKey != nullptr) return lookup(language, failure.reasonKey);
    if (failure.systemError == 0) return failure.path;
    std::string text = systemText;
    if (failure.path.empty()) return text;
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    return text + failure.path;
}

UserMessage heldQuestion(const Failure& failure, Language language, const std::string& systemText,
                         const std::vector<std::string>& holders) {
    auto text = [&](const char* key) { return std::string(lookup(language, key)); };
    std::string question = text("#installer_files_in_use_message") + failureReason(failure, language, systemText);
    if (!holders.empty()) {
        if (question.back() != '\n') question += "\r\n";
        question += "\r\n" + text("#installer_files_in_use_programs");
        for (size_t i = 0; i < holders.size() && i < kNamedHolders; ++i) question += "\r\n" + holders[i];
        if (holders.size() > kNamedHolders) {
            std::string more = text("#installer_files_in_use_more");
            const size_t count = more.find("{count}");
            if (count != std::string::npos) more.replace(count, 7, digitsOf(holders.size() - kNamedHolders));
            question += "\r\n" + more;
        }
    }
    const char* caption = failure.step == Step::Uninstall ? "#uninstaller_remove_error_title" : "#installer_install_files_error_title";
    return {question, text(caption)};
}

UserMessage userMessage(const Failure& failure, Language language, const std::string& systemText) {
    auto text = [&](const char* key) { return std::string(lookup(language, key)); };
    switch (failure.step) {
        case Step::LogFile:
            return {text("#installer_log_error_message") + failureReason(failure, language, systemText), text("#window_title")};
        case Step::Account: return {text("#installer_system_account_message"), text("#window_title")};
        case Step::EarlierVersions:
            return {text("#installer_uninstall_error_message"), text("#installer_uninstall_error_title")};
        case Step::Uninstall:
            return {text("#uninstaller_remove_error_message") + failureReason(failure, language, systemText),
                    text("#uninstaller_remove_error_title")};
        default:
            return {text("#installer_install_files_error_message") + failureReason(failure, language, systemText),
                    text("#installer_install_files_error_title")};
    }
}

}  // namespace swiftsetup
