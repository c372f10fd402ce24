#pragma once

#include "TTracksInfo.h"

#include <QString>

#include <cstdint>
#include <deque>

// Status of a followed user; not saved (every user read from the file starts idle).
enum TPeopleStatus : std::uint8_t
{
    PEOPLE_IDLE = 0,
    PEOPLE_CHECKING = 1,
    PEOPLE_DELETED = 3,
};

// One followed user with its known tracks. The ten profile texts are kept as read and
// written back unchanged.
struct TPeopleInfo
{
    QString t_Name; // the profile name; the key of the user, ignoring letter case
    std::uint8_t t_PeopleStatus = PEOPLE_IDLE;
    QString t_lastCheckTime;      // "YYYYMMDDHHMMSS" local time, empty when never checked
    std::uint8_t t_AutoCheck = 0; // only 1 takes part in the daily check; non-zero shows ticked
    QString t_ID;
    QString t_username;
    QString t_permalink_url;
    QString t_country;
    QString t_full_name;
    QString t_description;
    QString t_city;
    QString t_website;
    QString t_track_count;
    QString t_followers_count;
    // Tracks in the order first seen. A deque: appending never moves the others.
    std::deque<TTracksInfo> t_TracksInfo;
    int t_TracksCount = 0;     // always t_TracksInfo's size
    int t_DownloadedCount = 0; // downloaded tracks shown in the list; not saved
};
