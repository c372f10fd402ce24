#pragma once

#include <QString>

// Desktop notifications through the notification service of the session bus.
class DesktopNotifier
{
public:
    // Asks the notification service for a notification; false when there is no session bus.
    // Never waits for the service: when none runs, nothing is shown.
    static bool Notify(const QString& summary, const QString& body);

    // The notice at the end of a run of downloads: "3 finished, 1 failed".
    static QString RunEndedText(int finished, int failed);
};
