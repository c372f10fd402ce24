#pragma once

#include <QFile>
#include <QWidget>

namespace qbtest {

// Saves a picture of the widget into QB_SCREENSHOT_DIR when it is set (for the README).
inline void screenshot(QWidget* widget, const char* name)
{
    const QByteArray dir = qgetenv("QB_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        widget->grab().save(QFile::decodeName(dir) + QLatin1Char('/') + QLatin1String(name));
}

} // namespace qbtest
