#pragma once

#include <QString>

#include <cstdint>

// Status of a followed user's track during this run; not saved.
enum TTrackStatus : std::uint8_t
{
    TRACK_LISTED = 0,
    TRACK_DOWNLOADED = 2,
};

// One known track of a followed user. Every text is kept as read from the file or the
// service and written back unchanged.
struct TTracksInfo
{
    std::uint8_t t_Status = TRACK_LISTED;
    QString t_id; // unique within the user, compared exactly
    QString t_created_at;
    QString t_duration;              // milliseconds, decimal text
    QString t_original_content_size; // bytes, decimal text
    QString t_title;
    QString t_description;
    QString t_original_format;
    QString t_permalink_url;
    QString t_downloaded_at;        // "YYYYMMDDHHMMSS" local time, empty while never downloaded
    QString t_Downloaded_LocalFile; // full path of the downloaded file
};
