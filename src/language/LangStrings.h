#pragma once

#include <QString>

#include <functional>
#include <vector>

// The string table: every translatable text by its key in the "AllStrings" section of a
// language file, each with a built-in English default. Filled on the GUI thread, readable
// from any thread.

struct LangKey
{
    const char* key;
    QString defaultText;
};

// Every key of the table with its default, in table order.
const std::vector<LangKey>& LangKeys();

// The current text of a key (empty before the first successful load and for unknown keys).
QString Lang(const char* key);

// Reads every key from the file's "AllStrings" section, falling back to the defaults.
// False (and the table unchanged) when no file exists at the path.
bool LoadLanguageFile(const QString& path);

// Fills the table with the built-in English defaults (for front ends without a window).
void LoadDefaultLanguage();

// The display name in the "Info" section ("Language"), trimmed; empty when absent.
QString LanguageDisplayName(const QString& path);

// The locale of a language file for the toolkit's own texts: "Locale" in the "Info" section
// ("de"), else the part of the file name after its last "_" ("brae_deu.ini" gives "deu").
QString LanguageLocaleName(const QString& path);

// Window numbers of ApplyLanguage.
enum LanguageWindow : int
{
    LANG_MAIN_WINDOW = 0,
    LANG_ADD_WINDOW = 1,
    LANG_SETTINGS_WINDOW = 2,
    LANG_ABOUT_WINDOW = 3,
};

// Copies the table's texts into window 0 to 3, through what that window registered.
// Other numbers, or a window that is not registered, do nothing.
void ApplyLanguage(int window);

// A window registers how it applies its texts for as long as this object lives.
class LanguageTarget
{
public:
    LanguageTarget(int window, std::function<void()> apply);
    ~LanguageTarget();
    LanguageTarget(const LanguageTarget&) = delete;
    LanguageTarget& operator=(const LanguageTarget&) = delete;

private:
    int m_window;
};
