#pragma once

#include <QString>

// What a SoundCloud track page gives the download: the stream address and the track name,
// from the first line that holds the stream key.
struct TSoundCloudTrack
{
    bool found = false; // a line held the stream key
    QString streamUrl;
    QString name;
};

// Scans one page line; found is false when it holds no stream key.
TSoundCloudTrack ParseSoundCloudLine(const QString& line);

// Reads the page file line by line up to the first line with the stream key. False when
// the file cannot be read or is larger than kMaxPageBytes; the caller deletes the file
// after a successful read.
bool ReadSoundCloudPage(const QString& pageFile, TSoundCloudTrack& track);

// A page name made safe as a file name inside the save folder: without controls
// (WithoutControls), "|", "/" and "\" become blanks, leading dots and blanks are dropped
// (no hidden file, no ".."), and the name is cut to kMaxPageNameBytes of UTF-8. Empty when
// nothing is left.
QString SafeSoundCloudName(const QString& name);
