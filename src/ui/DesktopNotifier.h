#pragma once

#include <QString>

// Desktop notifications through the notification service of the session bus.
class DesktopNotifier
{
public:
    // Shows a notification; false (and nothing shown) when no session bus or no notification
    // service answers. Never waits for the notification itself.
    static bool Notify(const QString& summary, const QString& body);

    // The notice at the end of a run of downloads: "3 finished, 1 failed".
    static QString RunEndedText(int finished, int failed);
};
