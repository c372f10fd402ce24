#include "SettingsStore.h"

#include "Folders.h"
#include "SettingsFile.h"
#include "base/AppSettings.h"

#include <QSettings>

namespace {

std::optional<int> wholeNumber(ISettingsBackend& store, const QString& key)
{
    const std::optional<QString> text = store.read(key);
    if (!text)
        return std::nullopt;
    bool ok = false;
    const int value = text->trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

const QString kSaveToFolder = QStringLiteral("SaveToFolder");
const QString kDownloadAll = QStringLiteral("DownloadAllSoundFiles");
const QString kLatestTrackCount = QStringLiteral("LatestTrackCount");
const QString kSelectLanguage = QStringLiteral("SelectLanguage");

} // namespace

struct NativeSettingsBackend::Impl
{
    QSettings settings{QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillbrook")};
};

NativeSettingsBackend::NativeSettingsBackend() : d(std::make_unique<Impl>()) {}
NativeSettingsBackend::~NativeSettingsBackend() = default;

std::optional<QString> NativeSettingsBackend::read(const QString& key)
{
    const QVariant value = d->settings.value(key);
    if (!value.isValid())
        return std::nullopt;
    return value.toString();
}

bool NativeSettingsBackend::write(const QString& key, const QVariant& value)
{
    m_writeError =
        ChangeSettingsFile([&key, &value](QSettings& settings) { settings.setValue(key, value); });
    return m_writeError.isEmpty();
}

bool NativeSettingsBackend::writeAll(const QList<std::pair<QString, QVariant>>& values)
{
    m_writeError = ChangeSettingsFile([&values](QSettings& settings) {
        for (const auto& [key, value] : values)
            settings.setValue(key, value);
    });
    return m_writeError.isEmpty();
}

bool ISettingsBackend::writeAll(const QList<std::pair<QString, QVariant>>& values)
{
    for (const auto& [key, value] : values) {
        if (!write(key, value))
            return false;
    }
    return true;
}

QString NativeSettingsBackend::fileName() const
{
    return d->settings.fileName();
}

StoredSettings ReadSettings(ISettingsBackend& store, const QString& dataDir, QString* note)
{
    StoredSettings s;
    const QString folder = store.read(kSaveToFolder).value_or(QString());
    s.SaveToFolder = NormalSaveFolder(folder);
    if (s.SaveToFolder.isEmpty()) {
        s.SaveToFolder = dataDir;
        if (note && !folder.trimmed().isEmpty())
            *note = QStringLiteral("The save folder \"%1\" of the settings is not an absolute "
                                   "path; files are saved to %2 instead.")
                        .arg(folder, dataDir);
    }
    s.DownloadAllSoundFiles = wholeNumber(store, kDownloadAll) == 1;
    s.LatestTrackCount = wholeNumber(store, kLatestTrackCount).value_or(0);
    if (s.LatestTrackCount < 1)
        s.LatestTrackCount = 5;
    s.SelectLanguage = store.read(kSelectLanguage).value_or(QString());
    if (s.SelectLanguage.isEmpty())
        s.SelectLanguage = QStringLiteral("brae_eng.ini");
    return s;
}

QString WriteSettings(ISettingsBackend& store, const StoredSettings& s)
{
    const int count = s.LatestTrackCount < 0 ? 0 : s.LatestTrackCount;
    if (!store.writeAll({{kSaveToFolder, s.SaveToFolder},
                         {kDownloadAll, s.DownloadAllSoundFiles ? 1 : 0},
                         {kLatestTrackCount, count},
                         {kSelectLanguage, s.SelectLanguage}}))
        return store.writeError();
    return {};
}

void ApplyStoredSettings(const StoredSettings& s)
{
    TAppSettings& app = AppSettings();
    app.SetSaveToFolder(s.SaveToFolder);
    app.SetDownloadAllSoundFiles(s.DownloadAllSoundFiles);
    app.SetLatestTrackCount(s.LatestTrackCount);
    app.SetSelectLanguage(s.SelectLanguage);
}

StoredSettings CurrentStoredSettings()
{
    const TAppSettings& app = AppSettings();
    return {app.SaveToFolder(), app.DownloadAllSoundFiles(), app.LatestTrackCount(),
            app.SelectLanguage()};
}
