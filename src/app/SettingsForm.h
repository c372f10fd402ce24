#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class IPrompts;
class ISettingsBackend;

// One entry of the settings dialog's language list.
struct TLanguageChoice
{
    QString displayName; // "Language" of the file's "Info" section
    QString fileName;    // without folder
};

// The core half of the settings dialog: the values it edits, filled from the program's
// settings when it opens, and what OK does with them. The dialog widget copies its controls
// into these fields and back; everything that decides lives here.
class SettingsForm
{
public:
    using TStoreOpener = std::function<std::unique_ptr<ISettingsBackend>()>;

    static constexpr int kMinTrackCount = 1;
    static constexpr int kMaxTrackCount = 9999;

    SettingsForm(IPrompts& prompts, TStoreOpener openStore);

    // The dialog's fields.
    QString SaveToFolder;
    bool DownloadAllSoundFiles = false;
    int LatestTrackCount = 5;
    std::vector<TLanguageChoice> Languages; // the language list, sorted by display name
    int LanguageIndex = -1;                 // selected entry, -1 for none

    // Fills the fields from the program's settings and lists the language files.
    void FormShow();

    // The track count is only asked for while not every track is downloaded.
    bool LatestTrackCountEnabled() const { return !DownloadAllSoundFiles; }

    // Where the folder chooser starts: the typed folder, or the data folder when empty.
    QString BrowseStartFolder() const;
    // The folder text for a folder the chooser returned.
    static QString ChosenFolderText(const QString& chosen);

    enum class TOkResult
    {
        Close,       // settings taken over; close the dialog
        FocusFolder, // the folder was refused (message shown); stay open, focus the folder
        Stay         // something else was refused (message shown); stay open
    };
    // Checks and takes over the fields: in memory, then the language, then the store. A
    // refused folder or a language that cannot be loaded changes nothing.
    TOkResult ButtOKClick();

    // The language files in a folder that have a display name, sorted by that name.
    static std::vector<TLanguageChoice> ListLanguages(const QString& languageDir);

private:
    // The folder as it will be stored (absolute, "~" expanded, ending in "/"), or an empty
    // string after telling the user why it cannot be used.
    QString checkedFolder(const QString& typed);

    IPrompts& m_prompts;
    TStoreOpener m_openStore;
    QString m_Oldlanguage;
};
