#include "WindowMemory.h"

#include "TTarnMainWin.h"
#include "app/SettingsFile.h"

#include <QAction>
#include <QHeaderView>
#include <QLayout>
#include <QSettings>
#include <QSplitter>
#include <QTableView>
#include <QToolBar>

#include <utility>

namespace {

const QString kGroup = QStringLiteral("Window");
const QString kGeometry = QStringLiteral("Geometry");
const QString kToolbar = QStringLiteral("Toolbar");
const QString kGridLines = QStringLiteral("GridLines");
const QString kSplitter = QStringLiteral("Splitter");
const QString kFollowSplitter = QStringLiteral("FollowSplitter");
const QString kDownloadColumns = QStringLiteral("DownloadListColumns");
const QString kPeopleColumns = QStringLiteral("PeopleListColumns");
const QString kTracksColumns = QStringLiteral("TracksListColumns");

// Widths and sizes are kept as a readable list of numbers ("100, 80, 220").
const int kMaxSize = 100000;

// The group in the same store as the program's settings (native format, user scope).
class WindowSettings : public QSettings
{
public:
    WindowSettings()
        : QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillbrook"))
    {
        beginGroup(kGroup);
    }
};

QStringList numbers(const QList<int>& values)
{
    QStringList out;
    for (int v : values)
        out.append(QString::number(v));
    return out;
}

// The stored list when every entry is a size that makes sense, else nothing.
QList<int> storedSizes(QSettings& settings, const QString& key)
{
    QList<int> sizes;
    for (const QString& text : settings.value(key).toStringList()) {
        bool ok = false;
        const int v = text.trimmed().toInt(&ok);
        if (!ok || v < 0 || v > kMaxSize)
            return {};
        sizes.append(v);
    }
    return sizes;
}

QList<int> columnWidths(const QTableView* view)
{
    QList<int> widths;
    for (int c = 0; c < view->horizontalHeader()->count(); ++c)
        widths.append(view->columnWidth(c));
    return widths;
}

void restoreColumns(QSettings& settings, const QString& key, QTableView* view)
{
    const QList<int> widths = storedSizes(settings, key);
    // The last column stretches to the list's edge; its width follows from the others.
    const int columns = view->horizontalHeader()->count() - 1;
    for (int c = 0; c < columns && c < widths.size(); ++c) {
        if (widths[c] > 0)
            view->setColumnWidth(c, widths[c]);
    }
}

void restoreSplitter(QSettings& settings, const QString& key, QSplitter* splitter)
{
    const QList<int> sizes = storedSizes(settings, key);
    // The panels cannot be collapsed, so a zero size is not one the user left.
    if (sizes.size() == splitter->count() && !sizes.contains(0))
        splitter->setSizes(sizes);
}

} // namespace

bool WindowMemory::RestoreFrame(TTarnMainWin& window)
{
    WindowSettings settings;
    const QByteArray geometry = settings.value(kGeometry).toByteArray();
    const bool restored = !geometry.isEmpty() && window.restoreGeometry(geometry);
    if (settings.contains(kToolbar)) {
        window.PMenuBrae_Toolbar->setChecked(settings.value(kToolbar).toBool());
        window.PMenuBrae_ToolbarClick();
    }
    if (settings.contains(kGridLines)) {
        window.PMenuBrae_ShowGirdLine->setChecked(settings.value(kGridLines).toBool());
        window.PMenuBrae_ShowGirdLineClick();
    }
    return restored;
}

void WindowMemory::RestoreLists(TTarnMainWin& window)
{
    WindowSettings settings;
    restoreSplitter(settings, kSplitter, window.Splitter1);
    restoreSplitter(settings, kFollowSplitter, window.FollowSplitter);
    restoreColumns(settings, kDownloadColumns, window.DownloadList);
    restoreColumns(settings, kPeopleColumns, window.PeopleList);
    restoreColumns(settings, kTracksColumns, window.TracksList);
}

QString WindowMemory::Save(const TTarnMainWin& window)
{
    const QList<std::pair<QString, QVariant>> values = {
        {kGeometry, window.saveGeometry()},
        {kToolbar, window.PMenuBrae_Toolbar->isChecked()},
        {kGridLines, window.PMenuBrae_ShowGirdLine->isChecked()},
        {kSplitter, numbers(window.Splitter1->sizes())},
        {kFollowSplitter, numbers(window.FollowSplitter->sizes())},
        {kDownloadColumns, numbers(columnWidths(window.DownloadList))},
        {kPeopleColumns, numbers(columnWidths(window.PeopleList))},
        {kTracksColumns, numbers(columnWidths(window.TracksList))}};
    const QString error = ChangeSettingsFile([&values](QSettings& settings) {
        settings.beginGroup(kGroup);
        for (const auto& [key, value] : values)
            settings.setValue(key, value);
        settings.endGroup();
    });
    if (error.isEmpty())
        return {};
    return QStringLiteral("The window layout could not be saved:\n") + error;
}
