// The catalogue byte for byte, in all three languages, and the lookup rules.
#include "text/catalogue.h"
#include "text/failure.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace swiftsetup {
namespace {

struct Expected {
    const char* key;
    const char* danish;
    const char* german;
    const char* english;
};

// Written out independently of the catalogue's own source, in table order. The German text of
// the first key has no full stop, unlike its neighbours; that is how the product has shipped.
constexpr Expected kExpected[] = {
    {"#extractor_invalid_chunk_error", "Ugyldigt segment.", "Ungültiger Block", "Invalid chunk."},
    {"#extractor_invalid_chunk_size", "Ugyldig segmentstørrelse.", "Ungültige Segmentgröße", "Invalid chunk size."},
    {"#extractor_unexpected_data_chunk", "Uventet datasegment.", "Unerwarteter Speicherabschnitt", "Unexpected data chunk."},
    {"#extractor_invalid_data_chunk", "Ugyldigt datasegment.", "Ungültiger Speicherabschnitt", "Invalid data chunk."},
    {"#extractor_decompression_failed", "Udpakning mislykkedes.", "Fehler bei der Dekomprimierung", "Decompression failed."},
    {"#extractor_invalid_path", "Ugyldig sti.", "Ungültiger Pfad.", "Invalid path."},
    {"#window_title", "Lexmora - Installationsprogram", "Lexmora - Installationsprogramm", "Lexmora Installer"},
    {"#installer_uninstall_error_message", "Fejl under afinstallation af tidligere version.", "Fehler beim Deinstallieren der vorherigen Version", "Error uninstalling previous version."},
    {"#installer_uninstall_error_title", "Lexmora - Installationsprogram", "Lexmora - Installationsprogramm", "Lexmora Installer"},
    {"#installer_status_installing_files", "Installerer filer...", "Dateien werden installiert...", "Installing files..."},
    {"#installer_install_files_error_message", "Installationen mislykkedes.\r\n\r\n", "Installationsfehler.\r\n\r\n", "Installation failed.\r\n\r\n"},
    {"#installer_install_files_error_title", "Lexmora - Installationsprogram", "Lexmora - Installationsprogramm", "Lexmora Installer"},
    {"#installer_status_installing_uninstaller", "Installerer afinstallationsprogram...", "Installiert Deinstallationsprogramm...", "Installing uninstaller..."},
    {"#installer_status_installing_shortcuts", "Opretter genveje...", "Verknüpfungen werden erstellt...", "Creating short cuts..."},
    {"#installer_status_launching_application", "Starter Lexmora...", "Lexmora wird gestartet...", "Launching Lexmora..."},
    {"#installer_status_uninstalling", "Afinstallerer tidligere versioner...", "Deinstalliert vorherige Versionen...", "Uninstalling previous versions..."},
    {"#uninstaller_confirm_message", "Er du sikker på, at du vil afinstallere Lexmora?", "Sind Sie sicher, dass Sie Lexmora deinstallieren möchten?", "Are you sure you want to uninstall Lexmora?"},
    {"#uninstaller_confirm_title", "Lexmora - Afinstallation", "Lexmora - Deinstallation", "Lexmora Uninstaller"},
    {"#uninstaller_status_removing_files", "Fjerner filer...", "Dateien werden entfernt...", "Removing files..."},
    {"#uninstaller_status_removing_uninstaller", "Fjerner afinstallationsprogram...", "Deinstallationsprogramm wird entfernt...", "Removing uninstaller..."},
    {"#extractor_digest_mismatch", "Installationsprogrammet er beskadiget. Hent det igen.", "Das Installationsprogramm ist beschädigt. Laden Sie es erneut herunter.", "The installer is damaged. Download it again."},
    {"#uninstaller_remove_error_message", "Dele af Lexmora kunne ikke fjernes. Luk Lexmora og Kelvora Chat, og afinstaller igen.\r\n\r\n", "Teile von Lexmora konnten nicht entfernt werden. Schließen Sie Lexmora und Kelvora Chat, und deinstallieren Sie erneut.\r\n\r\n", "Parts of Lexmora could not be removed. Close Lexmora and Kelvora Chat, then uninstall again.\r\n\r\n"},
    {"#uninstaller_remove_error_title", "Lexmora - Afinstallation", "Lexmora - Deinstallation", "Lexmora Uninstaller"},
    {"#installer_log_error_message", "Loggen kan ikke skrives.\r\n\r\n", "Das Protokoll kann nicht geschrieben werden.\r\n\r\n", "The log cannot be written.\r\n\r\n"},
    {"#installer_system_account_message",
     "Lexmora installeres for den bruger, der kører installationsprogrammet, og systemkontoen er ikke en bruger. Kør det som den bruger, der skal bruge Lexmora.",
     "Lexmora wird für den Benutzer installiert, der dieses Installationsprogramm ausführt, und das Systemkonto ist kein Benutzer. Führen Sie es als der Benutzer aus, der Lexmora verwenden wird.",
     "Lexmora is installed for the user who runs this installer, and the system account is no user. Run it as the user who will use Lexmora."},
    {"#installer_status_waiting_for_lock",
     "Venter på, at en anden installation af Lexmora bliver færdig...",
     "Es wird gewartet, bis eine andere Installation von Lexmora beendet ist...",
     "Waiting for another installation of Lexmora to finish..."},
    {"#installer_folder_link_unsupported",
     "Installationsmappen er et link til et netværksdrev. Lexmora kan kun installeres i en mappe på denne computer. Fjern linket, eller lad det pege på en mappe på denne computer.",
     "Der Installationsordner ist ein Verweis auf ein Netzlaufwerk. Lexmora kann nur in einen Ordner auf diesem Computer installiert werden. Entfernen Sie den Verweis, oder lassen Sie ihn auf einen Ordner auf diesem Computer zeigen.",
     "The installation folder is a link to a network drive. Lexmora can only be installed in a folder on this computer. Remove the link, or make it lead to a folder on this computer."},
    {"#installer_files_in_use_message", "Et andet program bruger en fil eller mappe fra Lexmora, så intet er blevet ændret. Luk programmet, og vælg derefter Prøv igen. Annuller stopper uden at ændre noget.\r\n\r\n", "Ein anderes Programm verwendet eine Datei oder einen Ordner von Lexmora, daher wurde nichts geändert. Schließen Sie dieses Programm, und wählen Sie dann „Wiederholen“. „Abbrechen“ beendet den Vorgang, ohne etwas zu ändern.\r\n\r\n", "Another program is using a file or folder of Lexmora, so nothing has been changed. Close that program, then choose Retry. Cancel stops without changing anything.\r\n\r\n"},
    {"#installer_files_in_use_programs", "Bruges af:", "Verwendet von:", "In use by:"},
    {"#installer_files_in_use_more", "og {count} flere", "und {count} weitere", "and {count} more"},
};

TEST(Catalogue, HoldsEveryTextOfEveryLanguageInTableOrder) {
    static_assert(std::size(kExpected) == kCatalogueSize);
    for (int i = 0; i < kCatalogueSize; ++i) {
        const Expected& e = kExpected[i];
        SCOPED_TRACE(e.key);
        EXPECT_STREQ(catalogueTable(Language::Danish)[i].key, e.key);
        EXPECT_STREQ(catalogueTable(Language::German)[i].key, e.key);
        EXPECT_STREQ(catalogueTable(Language::English)[i].key, e.key);
        EXPECT_STREQ(lookup(Language::Danish, e.key), e.danish);
        EXPECT_STREQ(lookup(Language::German, e.key), e.german);
        EXPECT_STREQ(lookup(Language::English, e.key), e.english);
    }
}

// The boxes a failure makes, byte for byte as the sequences made them before failures became
// values: the step's message, then the catalogue's reason or the system's text and the path on a
// line of its own.
TEST(FailureMessage, ComposesTheBoxesAsTheyHaveAlwaysRead) {
    const std::string held = "Adgang n\xC3\xA6gtet.\r\n";  // as FormatMessage words it, ending in CR LF
    const std::string path = "C:\\Users\\bo\\AppData\\Local\\Apps\\Lexmora 3\\notes.txt";
    auto expect = [](const Failure& failure, Language language, const std::string& system, const std::string& text,
                     const std::string& caption) {
        SCOPED_TRACE(stepName(failure.step));
        const UserMessage message = userMessage(failure, language, system);
        EXPECT_EQ(message.text, text);
        EXPECT_EQ(message.caption, caption);
    };
    expect({Step::Claim, 5, path}, Language::Danish, held, "Installationen mislykkedes.\r\n\r\n" + held + path,
           "Lexmora - Installationsprogram");
    expect({Step::Unpacking, 112, path}, Language::English, "There is not enough space on the disk.",
           "Installation failed.\r\n\r\nThere is not enough space on the disk.\r\n" + path, "Lexmora Installer");
    expect({Step::LocalAppData, 3, ""}, Language::German, "Pfad nicht gefunden.\r\n",
           "Installationsfehler.\r\n\r\nPfad nicht gefunden.\r\n", "Lexmora - Installationsprogramm");
    expect({Step::PayloadCheck, 0, "", "#extractor_digest_mismatch"}, Language::English, "",
           "Installation failed.\r\n\r\nThe installer is damaged. Download it again.", "Lexmora Installer");
    expect({Step::Unpacking, 0, path, "#extractor_decompression_failed"}, Language::Danish, "",
           "Installationen mislykkedes.\r\n\r\nUdpakning mislykkedes.", "Lexmora - Installationsprogram");
    expect({Step::EarlierVersions, 1, "C:\\old\\uninstall.exe"}, Language::German, "x",
           "Fehler beim Deinstallieren der vorherigen Version", "Lexmora - Installationsprogramm");
    expect({Step::Uninstall, 32, path}, Language::English, "The process cannot access the file.\r\n",
           "Parts of Lexmora could not be removed. Close Lexmora and Kelvora Chat, then uninstall again.\r\n\r\n"
           "The process cannot access the file.\r\n" + path, "Lexmora Uninstaller");
    expect({Step::Uninstall, 0, "C:\\Apps\\Lexmora 3"}, Language::Danish, "",
           "Dele af Lexmora kunne ikke fjernes. Luk Lexmora og Kelvora Chat, og afinstaller igen.\r\n\r\nC:\\Apps\\Lexmora 3",
           "Lexmora - Afinstallation");
    expect({Step::LogFile, 3, "C:\\no\\setup.log"}, Language::English, "The system cannot find the path specified.\r\n",
           "The log cannot be written.\r\n\r\nThe system cannot find the path specified.\r\nC:\\no\\setup.log",
           "Lexmora Installer");
    expect({Step::Account, 0, "S-1-5-18"}, Language::German, "", lookup(Language::German, "#installer_system_account_message"),
           "Lexmora - Installationsprogramm");
}

// The question of a held file: the system's text and the path, then the programs that hold it,
// at most three and then how many more; none when Windows could not name them.
TEST(FailureMessage, TheQuestionOfAHeldFileNamesItsHolders) {
    const std::string path = "C:\\Users\\bo\\AppData\\Local\\Apps\\Lexmora 3\\notes.txt";
    const std::string system = "The process cannot access the file.\r\n";
    const UserMessage alone = heldQuestion({Step::Claim, 32, path}, Language::English, system, {});
    EXPECT_EQ(alone.text, std::string(lookup(Language::English, "#installer_files_in_use_message")) + system + path);
    EXPECT_EQ(alone.caption, "Lexmora Installer");
    const UserMessage named = heldQuestion({Step::Uninstall, 32, path}, Language::Danish, "Processen har ikke adgang.",
                                           {"Notesblok", "Virusscanner"});
    EXPECT_EQ(named.text, std::string(lookup(Language::Danish, "#installer_files_in_use_message")) +
                              "Processen har ikke adgang.\r\n" + path + "\r\n\r\nBruges af:\r\nNotesblok\r\nVirusscanner");
    EXPECT_EQ(named.caption, "Lexmora - Afinstallation");
    const UserMessage many = heldQuestion({Step::Claim, 32, path}, Language::German, system, {"A", "B", "C", "D", "E"});
    EXPECT_EQ(many.text.substr(many.text.find("Verwendet von:")), "Verwendet von:\r\nA\r\nB\r\nC\r\nund 2 weitere");
}

TEST(Catalogue, TextsAreUtf8) {
    // "ø" is C3 B8 and "ü" is C3 BC in UTF-8: one letter, two bytes.
    EXPECT_EQ(std::string(lookup(Language::Danish, "#extractor_invalid_chunk_size")),
              "Ugyldig segmentst\xC3\xB8rrelse.");
    EXPECT_EQ(std::string(lookup(Language::German, "#extractor_invalid_path")), "Ung\xC3\xBCltiger Pfad.");
}

TEST(Catalogue, UnknownKeysComeBackAsTheSamePointer) {
    const char* unknown[] = {"#no_such_key", "#WINDOW_TITLE", "#window_title ", "", "#window_titl",
                             "window_title"};
    for (const char* key : unknown) {
        for (Language language : {Language::Danish, Language::German, Language::English}) {
            EXPECT_EQ(lookup(language, key), key) << "key '" << key << "'";
        }
    }
    // A key with the same bytes but in another buffer resolves: comparison is by content.
    char copy[] = "#window_title";
    EXPECT_STREQ(lookup(Language::English, copy), "Lexmora Installer");
}

TEST(Catalogue, TitleKeysShareOneTextPerLanguage) {
    for (Language language : {Language::Danish, Language::German, Language::English}) {
        const char* title = lookup(language, "#window_title");
        EXPECT_STREQ(lookup(language, "#installer_uninstall_error_title"), title);
        EXPECT_STREQ(lookup(language, "#installer_install_files_error_title"), title);
        EXPECT_STREQ(lookup(language, "#uninstaller_remove_error_title"), lookup(language, "#uninstaller_confirm_title"));
    }
}

TEST(Catalogue, LanguageFollowsThePrimaryLanguageOfTheLocale) {
    EXPECT_EQ(languageForLocale(0x0406), Language::Danish);   // Danish (Denmark)
    EXPECT_EQ(languageForLocale(0x0407), Language::German);   // German (Germany)
    EXPECT_EQ(languageForLocale(0x0C07), Language::German);   // German (Austria)
    EXPECT_EQ(languageForLocale(0x0807), Language::German);   // German (Switzerland)
    EXPECT_EQ(languageForLocale(0x1407), Language::German);   // German (Liechtenstein)
    EXPECT_EQ(languageForLocale(0x1007), Language::German);   // German (Luxembourg)
    EXPECT_EQ(languageForLocale(0x0409), Language::English);  // English (United States)
    EXPECT_EQ(languageForLocale(0x0809), Language::English);  // English (United Kingdom)
    EXPECT_EQ(languageForLocale(0x040C), Language::English);  // French (France)
    EXPECT_EQ(languageForLocale(0x041D), Language::English);  // Swedish (Sweden)
    EXPECT_EQ(languageForLocale(0x0414), Language::English);  // Norwegian Bokmål
    EXPECT_EQ(languageForLocale(0x0814), Language::English);  // Norwegian Nynorsk
    // Only the primary language counts: a sort-order bit above the language id changes nothing,
    // and a primary language that merely shares low bits with Danish is not Danish.
    EXPECT_EQ(languageForLocale(0x10406), Language::Danish);
    EXPECT_EQ(languageForLocale(0x0446), Language::English);  // Punjabi: 0x46 & 0x3FF != 0x06
}

}  // namespace
}  // namespace swiftsetup
