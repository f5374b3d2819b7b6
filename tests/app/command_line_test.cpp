// The switch rules: exact, case-sensitive, anywhere after the program, repeats and other
// arguments ignored. The arguments are split by the system itself, as the entry point does.
#include "app/command_line.h"

#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/text_conversion.h"

namespace swiftsetup {
namespace {

RunMode parse(const std::wstring& commandLine) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine.c_str(), &count);
    EXPECT_NE(arguments, nullptr);
    std::vector<std::string> split;
    for (int i = 0; arguments != nullptr && i < count; ++i) split.push_back(wideToUtf8(arguments[i], -1));
    LocalFree(arguments);
    return parseSwitches(split);
}

void expectMode(const std::wstring& commandLine, bool quiet, bool uninstall) {
    const RunMode mode = parse(commandLine);
    EXPECT_EQ(mode.quiet, quiet) << "quiet, for: " << std::string(commandLine.begin(), commandLine.end());
    EXPECT_EQ(mode.uninstall, uninstall) << "uninstall, for: " << std::string(commandLine.begin(), commandLine.end());
}

TEST(Switches, NoArgumentsIsAGraphicalInstall) { expectMode(L"\"C:\\x\\lexmora-setup.exe\"", false, false); }

TEST(Switches, EachSwitchAloneAndBothInEitherOrder) {
    expectMode(L"setup.exe /quiet", true, false);
    expectMode(L"setup.exe /uninstall", false, true);
    expectMode(L"setup.exe /quiet /uninstall", true, true);
    expectMode(L"setup.exe /uninstall /quiet", true, true);
    // How Windows starts the registered uninstaller, and how a later installer runs it quietly.
    expectMode(L"\"C:\\Users\\a\\AppData\\Local\\Apps\\Lexmora 3\\uninstall.exe\" /uninstall /quiet", true, true);
}

TEST(Switches, RepeatsCountOnce) {
    expectMode(L"setup.exe /quiet /quiet", true, false);
    expectMode(L"setup.exe /uninstall /uninstall /quiet /quiet", true, true);
}

TEST(Switches, LookalikesAreIgnored) {
    for (const wchar_t* lookalike :
         {L"/QUIET", L"/Quiet", L"-quiet", L"quiet", L"/quiet:1", L"//quiet", L"/quie",
          L"/UNINSTALL", L"/Uninstall", L"-uninstall", L"uninstall", L"/uninstall=yes", L"/uninst",
          L"\"/quiet \""}) {
        expectMode(std::wstring(L"setup.exe ") + lookalike, false, false);
    }
}

TEST(Switches, ProgramPathIsNeverASwitch) {
    expectMode(L"/quiet", false, false);
    expectMode(L"/uninstall /quiet", true, false);
}

TEST(Switches, OtherArgumentsAroundASwitchAreSkipped) {
    expectMode(L"setup.exe foo /quiet bar", true, false);
    expectMode(L"setup.exe /x /uninstall \"with blank\" /QUIET", false, true);
    // A switch inside quotation marks is still the whole argument once the quotes are removed.
    expectMode(L"setup.exe \"/quiet\"", true, false);
}

// "/log" and "/log=PATH" follow the same rules, in either mode, with quoting as the system splits it.
TEST(Switches, LogAloneOrWithAPath) {
    struct Case {
        const wchar_t* commandLine;
        bool log;
        std::optional<std::string> path;
    };
    const Case cases[] = {
        {L"setup.exe /log", true, std::nullopt},
        {L"setup.exe /quiet /log /uninstall", true, std::nullopt},
        {L"setup.exe /log=C:\\logs\\setup.log /quiet", true, "C:\\logs\\setup.log"},
        {L"setup.exe \"/log=C:\\my logs\\setup.log\"", true, "C:\\my logs\\setup.log"},
        {L"setup.exe /log=\"C:\\my logs\\setup.log\"", true, "C:\\my logs\\setup.log"},
        {L"setup.exe /log=setup.log", true, "setup.log"},
        {L"setup.exe /log=", true, ""},
        {L"setup.exe /log=a.log /log", true, std::nullopt},
        {L"setup.exe /log /log=b.log", true, "b.log"},
        {L"setup.exe /LOG", false, std::nullopt},
        {L"setup.exe /Log=x.log", false, std::nullopt},
        {L"setup.exe -log", false, std::nullopt},
        {L"setup.exe /logfile", false, std::nullopt},
        {L"setup.exe /log:x.log", false, std::nullopt},
        {L"/log", false, std::nullopt},
    };
    for (const Case& c : cases) {
        const RunMode mode = parse(c.commandLine);
        const std::wstring line = c.commandLine;
        EXPECT_EQ(mode.log, c.log) << std::string(line.begin(), line.end());
        EXPECT_EQ(mode.logPath, c.path) << std::string(line.begin(), line.end());
    }
    expectMode(L"setup.exe /log=x.log /uninstall", false, true);
}

}  // namespace
}  // namespace swiftsetup
