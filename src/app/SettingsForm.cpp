#include "SettingsForm.h"

#include "Folders.h"
#include "SettingsStore.h"
#include "base/AppSettings.h"
#include "base/IPrompts.h"
#include "language/LangStrings.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>

namespace {

QString withPath(const char* key, const QString& path, const QString& detail = {})
{
    QString text = Lang(key) + QLatin1Char('\n') + path;
    if (!detail.isEmpty())
        text += QStringLiteral("\n(") + detail + QLatin1Char(')');
    return text;
}

} // namespace

SettingsForm::SettingsForm(IPrompts& prompts, TStoreOpener openStore)
    : m_prompts(prompts), m_openStore(std::move(openStore))
{
}

std::vector<TLanguageChoice> SettingsForm::ListLanguages(const QString& languageDir)
{
    std::vector<TLanguageChoice> list;
    const QDir dir(languageDir);
    const QStringList files =
        dir.entryList({QStringLiteral("*.ini")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& file : files) {
        const QString name = LanguageDisplayName(dir.filePath(file));
        if (!name.isEmpty())
            list.push_back({name, file});
    }
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
        return a.displayName.compare(b.displayName, Qt::CaseInsensitive) < 0;
    });
    return list;
}

void SettingsForm::FormShow()
{
    const TAppSettings& app = AppSettings();
    SaveToFolder = app.SaveToFolder();
    DownloadAllSoundFiles = app.DownloadAllSoundFiles();
    LatestTrackCount = std::clamp(app.LatestTrackCount(), kMinTrackCount, kMaxTrackCount);
    m_Oldlanguage = app.SelectLanguage();
    Languages = ListLanguages(app.AppDir() + QStringLiteral("language/"));
    LanguageIndex = -1;
    for (size_t i = 0; i < Languages.size(); ++i) {
        if (Languages[i].fileName.compare(m_Oldlanguage, Qt::CaseInsensitive) == 0) {
            LanguageIndex = static_cast<int>(i);
            break;
        }
    }
}

QString SettingsForm::BrowseStartFolder() const
{
    const QString typed = SaveToFolder.trimmed();
    return typed.isEmpty() ? AppSettings().DataDir() : typed;
}

QString SettingsForm::ChosenFolderText(const QString& chosen)
{
    return WithTrailingSlash(chosen);
}

QString SettingsForm::checkedFolder(const QString& typed)
{
    QString path = NormalSaveFolder(typed);
    if (path.isEmpty()) {
        m_prompts.warning(withPath("Msg8_1", typed));
        return {};
    }
    if (path.size() > 1)
        path.chop(1);
    if (!QDir().mkpath(path)) {
        m_prompts.warning(withPath("Msg8_2", path));
        return {};
    }
    if (!QFileInfo(path).isDir()) {
        m_prompts.warning(withPath("Msg8_2", path));
        return {};
    }
    // Permissions alone do not tell (read-only mounts, quotas): try to create a file.
    QTemporaryFile probe(path + QStringLiteral("/.quillbrook-XXXXXX"));
    if (!probe.open()) {
        m_prompts.warning(withPath("Msg8_3", path, probe.errorString()));
        return {};
    }
    return WithTrailingSlash(path);
}

SettingsForm::TOkResult SettingsForm::ButtOKClick()
{
    const QString typed = SaveToFolder.trimmed();
    if (typed.isEmpty()) {
        m_prompts.warning(QStringLiteral("Please enter the folder of saving downloaded files"));
        return TOkResult::FocusFolder;
    }
    const QString folder = checkedFolder(typed);
    if (folder.isEmpty())
        return TOkResult::FocusFolder;

    TAppSettings& app = AppSettings();
    // No entry selected: the language stays as it is.
    const QString language =
        LanguageIndex >= 0 && LanguageIndex < static_cast<int>(Languages.size())
            ? Languages[static_cast<size_t>(LanguageIndex)].fileName
            : m_Oldlanguage;
    const bool languageChanged = language != m_Oldlanguage;
    if (languageChanged) {
        const QString path = app.AppDir() + QStringLiteral("language/") + language;
        if (!LoadLanguageFile(path)) {
            m_prompts.warning(withPath("Msg8_4", path));
            return TOkResult::Stay;
        }
    }

    StoredSettings chosen;
    chosen.SaveToFolder = folder;
    chosen.DownloadAllSoundFiles = DownloadAllSoundFiles;
    chosen.LatestTrackCount = std::clamp(LatestTrackCount, kMinTrackCount, kMaxTrackCount);
    chosen.SelectLanguage = language;
    ApplyStoredSettings(chosen);
    SaveToFolder = folder;
    if (languageChanged) {
        app.SetLanguageLoaded(true);
        m_Oldlanguage = language;
        ApplyLanguage(LANG_MAIN_WINDOW);
    }
    if (m_openStore) {
        if (std::unique_ptr<ISettingsBackend> store = m_openStore()) {
            const QString error = WriteSettings(*store, chosen);
            // The settings are in use from now on, but the next start would not have them.
            if (!error.isEmpty()) {
                m_prompts.warning(QStringLiteral("The settings are used until Quillbrook "
                                                 "closes, but they could not be saved:\n") +
                                  error);
                return TOkResult::Stay;
            }
        }
    }
    return TOkResult::Close;
}
