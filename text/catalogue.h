#pragma once
// The built-in message catalogue: 30 keys, each with a Danish, German and English text (UTF-8).
// Portable; the Windows side picks the language from the user's locale (text/translate.h).

#include <cstdint>

namespace swiftsetup {

enum class Language { Danish, German, English };

inline constexpr int kCatalogueSize = 30;

struct CatalogueEntry {
    const char* key;
    const char* text;
};

// Danish and German locales of every country choose their language; all others English.
Language languageForLocale(uint32_t lcid);

// The text of key in that language, or key itself (the same pointer) when it is unknown.
const char* lookup(Language language, const char* key);

// The table of one language, in catalogue order, kCatalogueSize entries.
const CatalogueEntry* catalogueTable(Language language);

}  // namespace swiftsetup
