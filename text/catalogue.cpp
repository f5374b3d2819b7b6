#include "text/catalogue.h"

#include <cstring>

namespace swiftsetup {
namespace {

// The three title keys deliberately share one text per language, as do the uninstaller's two. The
// German chunk error has no full stop where its neighbours have one; released builds showed it
// that way. Keys added later come last, so the older ones keep their places.
constexpr CatalogueEntry kDanish[kCatalogueSize] = {
    {"#extractor_invalid_chunk_error", "Ugyldigt segment."},
    {"#extractor_invalid_chunk_size", "Ugyldig segmentstørrelse."},
    {"#extractor_unexpected_data_chunk", "Uventet datasegment."},
    {"#extractor_invalid_data_chunk", "Ugyldigt datasegment."},
    {"#extractor_decompression_failed", "Udpakning mislykkedes."},
    {"#extractor_invalid_path", "Ugyldig sti."},
    {"#window_title", "Lexmora - Installationsprogram"},
    {"#installer_uninstall_error_message", "Fejl under afinstallation af tidligere version."},
    {"#installer_uninstall_error_title", "Lexmora - Installationsprogram"},
    {"#installer_status_installing_files", "Installerer filer..."},
    {"#installer_install_files_error_message", "Installationen mislykkedes.\r\n\r\n"},
    {"#installer_install_files_error_title", "Lexmora - Installationsprogram"},
    {"#installer_status_installing_uninstaller", "Installerer afinstallationsprogram..."},
    {"#installer_status_installing_shortcuts", "Opretter genveje..."},
    {"#installer_status_launching_application", "Starter Lexmora..."},
    {"#installer_status_uninstalling", "Afinstallerer tidligere versioner..."},
    {"#uninstaller_confirm_message", "Er du sikker på, at du vil afinstallere Lexmora?"},
    {"#uninstaller_confirm_title", "Lexmora - Afinstallation"},
    {"#uninstaller_status_removing_files", "Fjerner filer..."},
    {"#uninstaller_status_removing_uninstaller", "Fjerner afinstallationsprogram..."},
    {"#extractor_digest_mismatch", "Installationsprogrammet er beskadiget. Hent det igen."},
    {"#uninstaller_remove_error_message", "Dele af Lexmora kunne ikke fjernes. Luk Lexmora og Kelvora Chat, og afinstaller igen.\r\n\r\n"},
    {"#uninstaller_remove_error_title", "Lexmora - Afinstallation"},
    {"#installer_log_error_message", "Loggen kan ikke skrives.\r\n\r\n"},
    {"#installer_system_account_message", "Lexmora installeres for den bruger, der kører installationsprogrammet, og systemkontoen er ikke en bruger. Kør det som den bruger, der skal bruge Lexmora."},
    {"#installer_status_waiting_for_lock", "Venter på, at en anden installation af Lexmora bliver færdig..."},
    {"#installer_folder_link_unsupported", "Installationsmappen er et link til et netværksdrev. Lexmora kan kun installeres i en mappe på denne computer. Fjern linket, eller lad det pege på en mappe på denne computer."},
    {"#installer_files_in_use_message", "Et andet program bruger en fil eller mappe fra Lexmora, så intet er blevet ændret. Luk programmet, og vælg derefter Prøv igen. Annuller stopper uden at ændre noget.\r\n\r\n"},
    {"#installer_files_in_use_programs", "Bruges af:"},
    {"#installer_files_in_use_more", "og {count} flere"},
};

constexpr CatalogueEntry kGerman[kCatalogueSize] = {
    {"#extractor_invalid_chunk_error", "Ungültiger Block"},
    {"#extractor_invalid_chunk_size", "Ungültige Segmentgröße"},
    {"#extractor_unexpected_data_chunk", "Unerwarteter Speicherabschnitt"},
    {"#extractor_invalid_data_chunk", "Ungültiger Speicherabschnitt"},
    {"#extractor_decompression_failed", "Fehler bei der Dekomprimierung"},
    {"#extractor_invalid_path", "Ungültiger Pfad."},
    {"#window_title", "Lexmora - Installationsprogramm"},
    {"#installer_uninstall_error_message", "Fehler beim Deinstallieren der vorherigen Version"},
    {"#installer_uninstall_error_title", "Lexmora - Installationsprogramm"},
    {"#installer_status_installing_files", "Dateien werden installiert..."},
    {"#installer_install_files_error_message", "Installationsfehler.\r\n\r\n"},
    {"#installer_install_files_error_title", "Lexmora - Installationsprogramm"},
    {"#installer_status_installing_uninstaller", "Installiert Deinstallationsprogramm..."},
    {"#installer_status_installing_shortcuts", "Verknüpfungen werden erstellt..."},
    {"#installer_status_launching_application", "Lexmora wird gestartet..."},
    {"#installer_status_uninstalling", "Deinstalliert vorherige Versionen..."},
    {"#uninstaller_confirm_message", "Sind Sie sicher, dass Sie Lexmora deinstallieren möchten?"},
    {"#uninstaller_confirm_title", "Lexmora - Deinstallation"},
    {"#uninstaller_status_removing_files", "Dateien werden entfernt..."},
    {"#uninstaller_status_removing_uninstaller", "Deinstallationsprogramm wird entfernt..."},
    {"#extractor_digest_mismatch", "Das Installationsprogramm ist beschädigt. Laden Sie es erneut herunter."},
    {"#uninstaller_remove_error_message", "Teile von Lexmora konnten nicht entfernt werden. Schließen Sie Lexmora und Kelvora Chat, und deinstallieren Sie erneut.\r\n\r\n"},
    {"#uninstaller_remove_error_title", "Lexmora - Deinstallation"},
    {"#installer_log_error_message", "Das Protokoll kann nicht geschrieben werden.\r\n\r\n"},
    {"#installer_system_account_message", "Lexmora wird für den Benutzer installiert, der dieses Installationsprogramm ausführt, und das Systemkonto ist kein Benutzer. Führen Sie es als der Benutzer aus, der Lexmora verwenden wird."},
    {"#installer_status_waiting_for_lock", "Es wird gewartet, bis eine andere Installation von Lexmora beendet ist..."},
    {"#installer_folder_link_unsupported", "Der Installationsordner ist ein Verweis auf ein Netzlaufwerk. Lexmora kann nur in einen Ordner auf diesem Computer installiert werden. Entfernen Sie den Verweis, oder lassen Sie ihn auf einen Ordner auf diesem Computer zeigen."},
    {"#installer_files_in_use_message", "Ein anderes Programm verwendet eine Datei oder einen Ordner von Lexmora, daher wurde nichts geändert. Schließen Sie dieses Programm, und wählen Sie dann „Wiederholen“. „Abbrechen“ beendet den Vorgang, ohne etwas zu ändern.\r\n\r\n"},
    {"#installer_files_in_use_programs", "Verwendet von:"},
    {"#installer_files_in_use_more", "und {count} weitere"},
};

constexpr CatalogueEntry kEnglish[kCatalogueSize] = {
    {"#extractor_invalid_chunk_error", "Invalid chunk."},
    {"#extractor_invalid_chunk_size", "Invalid chunk size."},
    {"#extractor_unexpected_data_chunk", "Unexpected data chunk."},
    {"#extractor_invalid_data_chunk", "Invalid data chunk."},
    {"#extractor_decompression_failed", "Decompression failed."},
    {"#extractor_invalid_path", "Invalid path."},
    {"#window_title", "Lexmora Installer"},
    {"#installer_uninstall_error_message", "Error uninstalling previous version."},
    {"#installer_uninstall_error_title", "Lexmora Installer"},
    {"#installer_status_installing_files", "Installing files..."},
    {"#installer_install_files_error_message", "Installation failed.\r\n\r\n"},
    {"#installer_install_files_error_title", "Lexmora Installer"},
    {"#installer_status_installing_uninstaller", "Installing uninstaller..."},
    {"#installer_status_installing_shortcuts", "Creating short cuts..."},
    {"#installer_status_launching_application", "Launching Lexmora..."},
    {"#installer_status_uninstalling", "Uninstalling previous versions..."},
    {"#uninstaller_confirm_message", "Are you sure you want to uninstall Lexmora?"},
    {"#uninstaller_confirm_title", "Lexmora Uninstaller"},
    {"#uninstaller_status_removing_files", "Removing files..."},
    {"#uninstaller_status_removing_uninstaller", "Removing uninstaller..."},
    {"#extractor_digest_mismatch", "The installer is damaged. Download it again."},
    {"#uninstaller_remove_error_message", "Parts of Lexmora could not be removed. Close Lexmora and Kelvora Chat, then uninstall again.\r\n\r\n"},
    {"#uninstaller_remove_error_title", "Lexmora Uninstaller"},
    {"#installer_log_error_message", "The log cannot be written.\r\n\r\n"},
    {"#installer_system_account_message", "Lexmora is installed for the user who runs this installer, and the system account is no user. Run it as the user who will use Lexmora."},
    {"#installer_status_waiting_for_lock", "Waiting for another installation of Lexmora to finish..."},
    {"#installer_folder_link_unsupported", "The installation folder is a link to a network drive. Lexmora can only be installed in a folder on this computer. Remove the link, or make it lead to a folder on this computer."},
    {"#installer_files_in_use_message", "Another program is using a file or folder of Lexmora, so nothing has been changed. Close that program, then choose Retry. Cancel stops without changing anything.\r\n\r\n"},
    {"#installer_files_in_use_programs", "In use by:"},
    {"#installer_files_in_use_more", "and {count} more"},
};

constexpr uint32_t kLangDanish = 0x06;
constexpr uint32_t kLangGerman = 0x07;

}  // namespace

Language languageForLocale(uint32_t lcid) {
    // Low 16 bits: language identifier; of that the low 10 bits: primary language.
    switch (lcid & 0x3FF) {
        case kLangDanish: return Language::Danish;
        case kLangGerman: return Language::German;
        default: return Language::English;
    }
}

const CatalogueEntry* catalogueTable(Language language) {
    switch (language) {
        case Language::Danish: return kDanish;
        case Language::German: return kGerman;
        case Language::English: break;
    }
    return kEnglish;
}

const char* lookup(Language language, const char* key) {
    const CatalogueEntry* table = catalogueTable(language);
    for (int i = 0; i < kCatalogueSize; ++i) {
        if (std::strcmp(table[i].key, key) == 0) return table[i].text;
    }
    return key;
}

}  // namespace swiftsetup
