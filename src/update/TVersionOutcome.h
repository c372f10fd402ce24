#pragma once

#include <QString>

// What one version check found out.
struct TVersionOutcome
{
    enum TKind
    {
        Newer,  // the site offers a newer version than the running one
        Latest, // the running version is the newest (or newer than the site's)
        Failed  // no valid answer: no connection, time-out, error status, no valid version
    };
    TKind kind = Failed;
    QString version; // the site's version, trimmed; empty unless Newer or Latest
    QString reason;  // why the check failed (English); empty unless Failed
};
