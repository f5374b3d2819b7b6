// Which autostart commands start our program: the matching rules, without the registry.
#include "machine/autostart_match.h"

#include <gtest/gtest.h>

namespace swiftsetup {
namespace {

TEST(LowerAscii, FoldsOnlyCapitalAsciiLetters) {
    EXPECT_EQ(lowerAscii("C:\\Users\\ANNA\\AppData"), "c:\\users\\anna\\appdata");
    EXPECT_EQ(lowerAscii("@[`{ AZaz09"), "@[`{ azaz09");  // neighbours of the letter ranges stay
    // Multi-byte UTF-8 stays byte for byte: "Æ" (C3 86) is not folded to "æ" (C3 A6).
    EXPECT_EQ(lowerAscii("\xC3\x86X"), "\xC3\x86x");
    EXPECT_EQ(lowerAscii(std::string("A\0B", 3)), std::string("a\0b", 3));
    EXPECT_EQ(lowerAscii(""), "");
}

TEST(CommandProgramPart, QuotedProgramOrTheWholeText) {
    EXPECT_EQ(commandProgramPart("\"C:\\p\\lexmora.exe\" --minimized"), "C:\\p\\lexmora.exe");
    EXPECT_EQ(commandProgramPart("\"C:\\p\\lexmora.exe\""), "C:\\p\\lexmora.exe");
    EXPECT_EQ(commandProgramPart("C:\\p\\lexmora.exe --minimized"), "C:\\p\\lexmora.exe --minimized");
    EXPECT_EQ(commandProgramPart("\"C:\\p\\lexmora.exe --minimized"), "\"C:\\p\\lexmora.exe --minimized");
    EXPECT_EQ(commandProgramPart("\"\""), "");
    EXPECT_EQ(commandProgramPart("\""), "\"");
    EXPECT_EQ(commandProgramPart(""), "");
}

TEST(CommandStartsProgram, MatchesThePathAloneOrQuotedWithArguments) {
    const std::string program = lowerAscii("C:\\Users\\Anna\\AppData\\Local\\Apps\\Lexmora 3\\lexmora.exe");
    EXPECT_TRUE(commandStartsProgram("C:\\Users\\Anna\\AppData\\Local\\Apps\\Lexmora 3\\lexmora.exe", program));
    EXPECT_TRUE(commandStartsProgram("\"c:\\USERS\\anna\\appdata\\local\\apps\\LEXMORA 3\\lexmora.EXE\" /tray", program));
    EXPECT_FALSE(commandStartsProgram("C:\\Users\\Anna\\AppData\\Local\\Apps\\Lexmora 3\\lexmora.exe /tray", program));
    EXPECT_FALSE(commandStartsProgram("\"C:\\Users\\Anna\\AppData\\Local\\Apps\\Lexmora 3\\lexmora.exe", program));
    EXPECT_FALSE(commandStartsProgram("C:\\Users\\Anna\\AppData\\Local\\Apps\\Lexmora 3\\parlavo.exe", program));
    EXPECT_FALSE(commandStartsProgram("", program));
}

TEST(CommandStartsProgram, NonAsciiLettersMustMatchExactly) {
    const std::string program = lowerAscii("C:\\Users\\S\xC3\xB8ren\\lexmora.exe");  // Søren
    EXPECT_TRUE(commandStartsProgram("C:\\USERS\\S\xC3\xB8REN\\LEXMORA.EXE", program));
    EXPECT_FALSE(commandStartsProgram("C:\\Users\\S\xC3\x98ren\\lexmora.exe", program));  // SØren
}

}  // namespace
}  // namespace swiftsetup
