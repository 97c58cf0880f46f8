// The window's language: Russian, the language its texts are written in, or
// English from the translation built into the program (translations/
// vizuvod_en.ts). The user's choice is kept in the desktop's settings
// (Fotrix/Vizuvod, key "language"); nothing is written until the user
// chooses, so a fresh account starts in Russian.
#pragma once

#include <QString>

namespace vizuvod {

enum class TLanguage { lgRussian, lgEnglish };

// The choice kept in the settings; Russian when none was made or the value
// is not one this program writes.
TLanguage StoredLanguage();
void StoreLanguage(TLanguage language);

// Installs the English translator on the application, or removes it for
// Russian. Either sends every widget a LanguageChange event, on which it
// sets its texts again; applying the language already in use does nothing.
void ApplyLanguage(TLanguage language);
TLanguage CurrentLanguage();

// A warning of the engine (engine/core/Warnings.h, written in Russian) in the
// language in use; any other text comes back as it is.
QString WarningText(const char* text);

}  // namespace vizuvod
