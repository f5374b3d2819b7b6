#pragma once
// The product's fixed names, versions and locations. There is no run-time configuration: every
// one of these is a constant of the program.

#include "product_version.h"  // written by cmake/ProductVersion.cmake
#include "text/guid_packing.h"

namespace swiftsetup::product {

inline constexpr char kName[] = "Lexmora";  // uninstall entry key, display name, Run value name
inline constexpr char kVersion[] = LEXMORA_VERSION_TEXT;
inline constexpr char kPublisher[] = "Norvanta A/S";
inline constexpr char kPublisherUrl[] = "https://norvanta.example/";

// Paths below the per-user folders; each suffix starts with a backslash.
inline constexpr char kInstallFolderSuffix[] = "\\Apps\\Lexmora 3";
inline constexpr char kProgramFile[] = "\\lexmora.exe";
inline constexpr char kUninstallerFile[] = "\\uninstall.exe";
inline constexpr char kChatProgramFile[] = "\\parlavo.exe";
inline constexpr char kStartMenuFolder[] = "\\Kelvora";
inline constexpr char kProgramShortcut[] = "\\Lexmora.lnk";
inline constexpr char kChatShortcut[] = "\\Kelvora Chat.lnk";

// Registry keys below HKEY_CURRENT_USER.
inline constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lexmora";
inline constexpr char kUninstallKeyParent[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
inline constexpr char kBootstrapKey[] = "SOFTWARE\\Kelvora\\Lexmora 2\\bootstrap";  // previous major version
inline constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
// The installer's own record of the work folders beside an installation (remove/work_folders.h):
// one value per folder, its path and its token. Both keys are ours alone and go when empty.
// They live where the user's profile does not roam, as the folders they name do not: a record that
// travelled to another machine would be dropped there, and its folder never removed here.
inline constexpr char kWorkFoldersParentKey[] = "Software\\Classes\\Local Settings\\Software\\Kelvora\\Lexmora 3 Setup";
inline constexpr char kWorkFoldersKey[] =
    "Software\\Classes\\Local Settings\\Software\\Kelvora\\Lexmora 3 Setup\\Work folders";
// Where earlier builds kept them, in the roaming part of the profile: read once, then moved or
// dropped.
inline constexpr char kRoamingWorkFoldersParentKey[] = "SOFTWARE\\Kelvora\\Lexmora 3 Setup";
inline constexpr char kRoamingWorkFoldersKey[] = "SOFTWARE\\Kelvora\\Lexmora 3 Setup\\Work folders";

// Windows Installer upgrade codes of earlier versions, in the order they are removed.
inline constexpr Guid kUpgradeCodes[] = {
    Guid::fromFields(0x6D1A0F3E, 0x2B47, 0x4C85, {0x9E, 0x10, 0x7A, 0x3B, 0x5C, 0x9D, 0x2E, 0x41}),
    Guid::fromFields(0x3F8E2D71, 0x5A06, 0x4B93, {0x8D, 0x2C, 0x1E, 0x4F, 0x6A, 0x7B, 0x9C, 0x05}),
};

// One installer or uninstaller of the product at a time, per user; and the environment variable
// by which a holder of the lock hands its run down to the earlier uninstaller it starts.
inline constexpr wchar_t kInstanceLockName[] = L"Lexmora Installer";
inline constexpr wchar_t kInstanceRunVariable[] = L"LEXMORA_INSTALLER_RUN";

inline constexpr char kPreviousUninstallerArguments[] = "/quiet";
inline constexpr char kLogName[] = "Lexmora-setup";  // "/log": <temporary folder>\Lexmora-setup-<date>-<n>.log
inline constexpr char kLaunchArgument[] = "--safe-mode";

}  // namespace swiftsetup::product
