#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <utility>

// The stored settings of the program: "SaveToFolder", "DownloadAllSoundFiles",
// "LatestTrackCount" and "SelectLanguage".
struct StoredSettings
{
    QString SaveToFolder;
    bool DownloadAllSoundFiles = false;
    int LatestTrackCount = 5;
    QString SelectLanguage;
};

// Where the values live. The real one is QSettings; tests put in one that fails on purpose.
class ISettingsBackend
{
public:
    virtual ~ISettingsBackend() = default;
    // The stored text of a value, or nothing when it is absent.
    virtual std::optional<QString> read(const QString& key) = 0;
    // Writes one value; false when it could not be written.
    virtual bool write(const QString& key, const QVariant& value) = 0;
    // Writes the values in their order as one change; by default one write each, the first
    // failure ending it.
    virtual bool writeAll(const QList<std::pair<QString, QVariant>>& values);
    // Why the last write failed.
    virtual QString writeError() const { return QStringLiteral("the settings could not be saved"); }
};

// QSettings in the native format, user scope, organisation "Quillbrook". Writes replace the
// file whole (ChangeSettingsFile).
class NativeSettingsBackend final : public ISettingsBackend
{
public:
    NativeSettingsBackend();
    ~NativeSettingsBackend() override;
    std::optional<QString> read(const QString& key) override;
    bool write(const QString& key, const QVariant& value) override;
    // One replacement of the file for all of them.
    bool writeAll(const QList<std::pair<QString, QVariant>>& values) override;
    QString writeError() const override { return m_writeError; }
    // Where the values are kept.
    QString fileName() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    QString m_writeError;
};

// Applies the read rules: the folder is made absolute with one trailing "/" as the settings
// dialog does (NormalSaveFolder), a missing, empty or relative one is dataDir; only an
// exact 1 turns "DownloadAllSoundFiles" on, a count below 1 or not a whole number is 5, a
// missing or empty language is "brae_eng.ini". A stored folder that was not usable is
// described in *note when given.
StoredSettings ReadSettings(ISettingsBackend& store, const QString& dataDir,
                            QString* note = nullptr);

// Writes the values in their fixed order, as 1/0 and with a negative count as 0, as one
// change of the store. Returns an empty text, or the store's reason for the failure.
QString WriteSettings(ISettingsBackend& store, const StoredSettings& settings);

// Copies stored settings into the process-wide ones and back.
void ApplyStoredSettings(const StoredSettings& settings);
StoredSettings CurrentStoredSettings();
