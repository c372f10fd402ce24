#pragma once

#include <QFile>
#include <QSettings>
#include <QWidget>

namespace qbtest {

// Saves a picture of the widget into QB_SCREENSHOT_DIR when it is set (for the README).
inline void screenshot(QWidget* widget, const char* name)
{
    const QByteArray dir = qgetenv("QB_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        widget->grab().save(QFile::decodeName(dir) + QLatin1Char('/') + QLatin1String(name));
}

// Forgets the main window's remembered layout, so each test starts from the design layout.
inline void forgetWindowLayout()
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quillbrook"));
    settings.remove(QStringLiteral("Window"));
}

} // namespace qbtest
