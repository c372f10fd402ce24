#pragma once

#include "TPeopleInfo.h"

#include <array>

// The texts of a user and of a track with their element names in "followuser.xml", in the
// order the file holds them. A user's "auto-check" follows its twelve texts.
namespace peoplefields {

struct UserField
{
    const char* element;
    QString TPeopleInfo::*field;
};

struct TrackField
{
    const char* element;
    QString TTracksInfo::*field;
};

inline constexpr std::array<UserField, 12> kUser{{
    {"name", &TPeopleInfo::t_Name},
    {"id", &TPeopleInfo::t_ID},
    {"username", &TPeopleInfo::t_username},
    {"permalink-url", &TPeopleInfo::t_permalink_url},
    {"country", &TPeopleInfo::t_country},
    {"full-name", &TPeopleInfo::t_full_name},
    {"description", &TPeopleInfo::t_description},
    {"city", &TPeopleInfo::t_city},
    {"website", &TPeopleInfo::t_website},
    {"track-count", &TPeopleInfo::t_track_count},
    {"followers-count", &TPeopleInfo::t_followers_count},
    {"last-check-time", &TPeopleInfo::t_lastCheckTime},
}};

inline constexpr const char* kAutoCheck = "auto-check";

inline constexpr std::array<TrackField, 10> kTrack{{
    {"id", &TTracksInfo::t_id},
    {"created-at", &TTracksInfo::t_created_at},
    {"duration", &TTracksInfo::t_duration},
    {"original-content-size", &TTracksInfo::t_original_content_size},
    {"title", &TTracksInfo::t_title},
    {"description", &TTracksInfo::t_description},
    {"original-format", &TTracksInfo::t_original_format},
    {"permalink-url", &TTracksInfo::t_permalink_url},
    {"downloaded-at", &TTracksInfo::t_downloaded_at},
    {"downloaded-localfile", &TTracksInfo::t_Downloaded_LocalFile},
}};

} // namespace peoplefields
