#include "LangStrings.h"

#include "base/IniFile.h"
#include "base/ServiceHosts.h"

#include <QFileInfo>
#include <QHash>

#include <array>
#include <mutex>

namespace {

std::mutex g_tableMutex;
QHash<QString, QString> g_table;

std::array<std::function<void()>, 4>& targets()
{
    static std::array<std::function<void()>, 4> windows;
    return windows;
}

std::vector<LangKey> makeKeys()
{
    const QString web = Hosts().SoundCloudWeb;
    const auto s = [](const char* text) {
        return QString::fromUtf8(text);
    };
    return {
        {"String_2", s("Cancel")},
        {"String_3", s("Close")},
        {"String_4", s("Select")},
        {"String_6", s("OK")},
        {"String1_1", s("Always On Top")},
        {"String1_2", s("Settings")},
        {"String1_3", s("Online Help")},
        {"String1_4", s("Check for updates")},
        {"String1_7", s("About")},
        {"String1_9", s("File")},
        {"String1_10", s("Size")},
        {"String1_11", s("Status")},
        {"String1_12", s("URL")},
        {"String1_23", s("Copy links")},
        {"String1_24", s("Open Containing Folder")},
        {"String1_25", s("User")},
        {"String1_26", s("Add")},
        {"String1_27", s("Explore")},
        {"String1_28", s("How to follow soundcloud user")},
        {"String1_29", s("delete")},
        {"String1_30", s("Check")},
        {"String1_31", s("Auto Check")},
        {"String1_32", s("Name")},
        {"String1_33", s("Tracks")},
        {"String1_34", s("Downloaded")},
        {"String1_35", s("Last check time")},
        {"String1_36", s("ID")},
        {"String1_37", s("Title")},
        {"String1_38", s("Duration")},
        {"String1_39", s("Size")},
        {"String1_40", s("Created At")},
        {"String1_41", s("Downloaded At")},
        {"String1_42", s("Download")},
        {"String1_43", s("Add link to download")},
        {"String1_44", s("Delete the downloads")},
        {"String1_45", s("Resume Download")},
        {"String1_46", s("Stop")},
        {"String1_47", s("More Tools")},
        {"String1_48", s("File")},
        {"String1_49", s("Exit")},
        {"String1_50", s("Tool")},
        {"String1_51", s("Help")},
        {"String1_52", s("Open the user link of ") + web},
        {"String1_53", s("Open the track link of ") + web},
        {"String1_54", s("View")},
        {"String1_55", s("Show Toolbar")},
        {"String1_56", s("Show Gird Line")},
        {"String1_57", s("Copy Track Information")},
        {"String2_1", s("Save Media Files to Folder:")},
        {"String2_2", s("Language")},
        {"String2_4", s("Download the latest tracks")},
        {"String2_5", s("Download all sound files of not downloaded")},
        {"String3_3", s("Version")},
        {"String3_4", s("Info")},
        {"String3_5", s("This is a freeware which downloading audio from ") + web},
        {"String3_6", s("Visit website")},
        {"String4_1", s("Download immediately")},
        {"Msg1_1", s("Your <Quillbrook> is the latest version.")},
        {"Msg1_2", s("Can not find downloaded local file:")},
        {"Msg1_3", s("Find the latest version:")},
        {"Msg1_4", s("Do you want to download it?")},
        {"Msg1_5", s("Are you sure to delete the item(s)?")},
        {"Msg1_6", s("Downloading, Continue to exit?")},
        {"Msg1_7", s("Received")},
        {"Msg1_8", s("Ready to check ...")},
        {"Msg1_9", s("Checking ...")},
        {"Msg1_10", s("The followed name already exists in the list")},
        {"Msg1_11", s("Do you want to delete the selected user(s)?")},
        {"Msg6_1", s("Could not check for a newer version:")},
        {"Msg7_1", s("Conversion failed")},
        {"Msg8_1", s("The save folder must be a full path (starting with / or ~/):")},
        {"Msg8_2", s("The save folder cannot be created:")},
        {"Msg8_3", s("The save folder is not writable:")},
        {"Msg8_4", s("The language file cannot be loaded:")},
        {"Msg1_30", s("1 line skipped: not a SoundCloud or YouTube link")},
        {"Msg1_31", s("%1 lines skipped: not a SoundCloud or YouTube link")},
        {"Msg1_32", s("Stop a running download before deleting it")},
        {"Msg1_33", s("Running %1 \u00b7 Queued %2 \u00b7 Finished %3 \u00b7 Failed %4")},
        {"Msg1_34", s("Quillbrook: downloads ended")},
        {"Msg1_35", s("%1 finished, %2 failed")},
        {"Msg1_36", s("File: %1")},
        {"Msg1_37", s("Link: %1")},
        {"Msg1_38", s("Speed: %1")},
        {"Msg1_39", s("%1 left")},
        {"Msg1_40", s("Ended: %1")},
    };
}

} // namespace

const std::vector<LangKey>& LangKeys()
{
    static const std::vector<LangKey> keys = makeKeys();
    return keys;
}

QString Lang(const char* key)
{
    const QString k = QString::fromLatin1(key);
    std::lock_guard lock(g_tableMutex);
    // A deep copy: the table's strings never share a buffer with another thread's.
    const auto it = g_table.constFind(k);
    return it == g_table.cend() ? QString() : QString(it->unicode(), it->size());
}

bool LoadLanguageFile(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return false;
    const IniFile ini = IniFile::load(path);
    const QString section = QStringLiteral("AllStrings");
    QHash<QString, QString> table;
    for (const LangKey& k : LangKeys()) {
        const QString key = QString::fromLatin1(k.key);
        table.insert(key, ini.value(section, key, k.defaultText));
    }
    std::lock_guard lock(g_tableMutex);
    g_table.swap(table);
    return true;
}

void LoadDefaultLanguage()
{
    QHash<QString, QString> table;
    for (const LangKey& k : LangKeys())
        table.insert(QString::fromLatin1(k.key), k.defaultText);
    std::lock_guard lock(g_tableMutex);
    g_table.swap(table);
}

QString LanguageDisplayName(const QString& path)
{
    return IniFile::load(path).value(QStringLiteral("Info"), QStringLiteral("Language"));
}

QString LanguageLocaleName(const QString& path)
{
    const QString locale =
        IniFile::load(path).value(QStringLiteral("Info"), QStringLiteral("Locale"));
    if (!locale.isEmpty())
        return locale;
    const QString base = QFileInfo(path).completeBaseName();
    const qsizetype sep = base.lastIndexOf(QLatin1Char('_'));
    return sep < 0 ? QString() : base.mid(sep + 1);
}

void ApplyLanguage(int window)
{
    if (window < 0 || window >= static_cast<int>(targets().size()))
        return;
    if (const auto& apply = targets()[static_cast<size_t>(window)])
        apply();
}

LanguageTarget::LanguageTarget(int window, std::function<void()> apply) : m_window(window)
{
    if (window >= 0 && window < static_cast<int>(targets().size()))
        targets()[static_cast<size_t>(window)] = std::move(apply);
}

LanguageTarget::~LanguageTarget()
{
    if (m_window >= 0 && m_window < static_cast<int>(targets().size()))
        targets()[static_cast<size_t>(m_window)] = nullptr;
}
