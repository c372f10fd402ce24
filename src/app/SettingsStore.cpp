#include "SettingsStore.h"

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
    if (!d->settings.isWritable())
        return false;
    d->settings.setValue(key, value);
    d->settings.sync();
    return d->settings.status() == QSettings::NoError;
}

QString NativeSettingsBackend::fileName() const
{
    return d->settings.fileName();
}

StoredSettings ReadSettings(ISettingsBackend& store, const QString& dataDir)
{
    StoredSettings s;
    s.SaveToFolder = store.read(kSaveToFolder).value_or(QString());
    if (s.SaveToFolder.isEmpty())
        s.SaveToFolder = dataDir;
    s.DownloadAllSoundFiles = wholeNumber(store, kDownloadAll) == 1;
    s.LatestTrackCount = wholeNumber(store, kLatestTrackCount).value_or(0);
    if (s.LatestTrackCount < 1)
        s.LatestTrackCount = 5;
    s.SelectLanguage = store.read(kSelectLanguage).value_or(QString());
    if (s.SelectLanguage.isEmpty())
        s.SelectLanguage = QStringLiteral("brae_eng.ini");
    return s;
}

void WriteSettings(ISettingsBackend& store, const StoredSettings& s)
{
    const int count = s.LatestTrackCount < 0 ? 0 : s.LatestTrackCount;
    if (!store.write(kSaveToFolder, s.SaveToFolder))
        return;
    if (!store.write(kDownloadAll, s.DownloadAllSoundFiles ? 1 : 0))
        return;
    if (!store.write(kLatestTrackCount, count))
        return;
    store.write(kSelectLanguage, s.SelectLanguage);
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
