#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

struct TTracksInfo;

// Reads a user's track list as the SoundCloud API sends it: a root element holding one
// "track" element per track, each with its fields as child elements. Only the eight fields
// a followed track keeps are read ("id", "created-at", "duration", "original-content-size",
// "title", "description", "original-format", "permalink-url", names compared ignoring
// case); anything deeper, such as the uploader's nested "user" element with its own "id",
// is ignored. The document's tree is never kept.
//
// Each track element starts with every field empty and is handed over when its end tag has
// been read, in document order; one without an id (missing or empty) is skipped, and so is
// one the document ends inside of.
//
// stop, when given, is asked at every node: once it answers true, reading ends there as a
// fault does, with kStopped as the reason, so a stop need not wait for a long reply.
class TTrackListReader
{
public:
    using TOnTrack = std::function<void(const TTracksInfo& track)>;
    using TStop = std::function<bool()>;

    static constexpr const char* kStopped = "stopped";

    // Reads the file; false (with the reason in error) when it did not load whole. The
    // tracks handed over before a fault stand.
    static bool ReadFile(const QString& path, const TOnTrack& onTrack, QString* error = nullptr,
                         const TStop& stop = {});
    // The same for a reply in memory.
    static bool ReadBytes(QByteArrayView bytes, const TOnTrack& onTrack, QString* error = nullptr,
                          const TStop& stop = {});
};
