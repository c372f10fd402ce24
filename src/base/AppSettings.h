#pragma once

#include <QString>

#include <atomic>
#include <mutex>

// Process-wide settings and folders. Set at start-up; the settings dialog replaces some of
// them later while worker threads read them, so strings are guarded and go in and out as
// deep copies (never sharing a buffer across threads), and scalars are atomic.
struct TFormatSettings
{
    QChar ThousandSeparator;
    QChar DecimalSeparator;
};

class TAppSettings
{
public:
    QString AppDir() const { return get(m_appDir); }
    QString DataDir() const { return get(m_dataDir); }
    QString SaveToFolder() const { return get(m_saveToFolder); }
    QString SelectLanguage() const { return get(m_selectLanguage); }
    bool DownloadAllSoundFiles() const { return m_downloadAll.load(); }
    int LatestTrackCount() const { return m_latestTrackCount.load(); }
    bool LanguageLoaded() const { return m_languageLoaded.load(); }
    const TFormatSettings& AppFormatSettings() const { return m_format; }

    void SetAppDir(const QString& v) { set(m_appDir, v); }
    void SetDataDir(const QString& v) { set(m_dataDir, v); }
    void SetSaveToFolder(const QString& v) { set(m_saveToFolder, v); }
    void SetSelectLanguage(const QString& v) { set(m_selectLanguage, v); }
    void SetDownloadAllSoundFiles(bool v) { m_downloadAll.store(v); }
    void SetLatestTrackCount(int v) { m_latestTrackCount.store(v); }
    void SetLanguageLoaded(bool v) { m_languageLoaded.store(v); }
    void SetAppFormatSettings(const TFormatSettings& f) { m_format = f; }

    // Full path of the selected language file.
    QString LanguageFilePath() const
    {
        return AppDir() + QStringLiteral("language/") + SelectLanguage();
    }

private:
    QString get(const QString& field) const
    {
        std::lock_guard lock(m_mutex);
        return QString(field.unicode(), field.size());
    }
    void set(QString& field, const QString& value)
    {
        QString copy(value.unicode(), value.size());
        std::lock_guard lock(m_mutex);
        field.swap(copy);
    }

    mutable std::mutex m_mutex;
    QString m_appDir;
    QString m_dataDir;
    QString m_saveToFolder;
    QString m_selectLanguage;
    std::atomic<bool> m_downloadAll{false};
    std::atomic<int> m_latestTrackCount{0};
    std::atomic<bool> m_languageLoaded{false};
    TFormatSettings m_format{QLatin1Char(','), QLatin1Char('.')};
};

// The one instance of the running program.
TAppSettings& AppSettings();
