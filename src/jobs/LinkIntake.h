#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class TDownloadState;
class ListViewModel;
class TMessageQueue;

// "https://" (any letter case) becomes "http://"; the rest of the link is kept as it is.
QString NormaliseLink(const QString& link);

// The link names the SoundCloud web host anywhere (a plain substring test).
bool PassesSoundCloudHostTest(const QString& link);
// The link names the YouTube long or short host anywhere (the same plain substring test).
bool PassesYouTubeHostTest(const QString& link);
// Either of the two: the sites the program downloads from.
bool PassesHostTest(const QString& link);

// A line of the add-links dialog, trimmed, when it is an acceptable link (an http:// or
// https:// link of SoundCloud or YouTube), normalised; empty otherwise.
QString AcceptedDialogLink(const QString& line);

// A dropped text, trimmed and normalised, when it is an http:// link of SoundCloud or
// YouTube; empty
// otherwise.
QString AcceptedDroppedLink(const QString& text);

// The pieces of a text that may each be a link: what stands between blanks, tabs and line
// breaks (any character up to code 32), in order. Links never hold a blank, so a line with
// several links gives each of them.
QStringList SplitLinkText(const QString& text);

// The link texts of a drop as the source gave them: every entry of its URL list (the
// "text/uri-list" bytes, one a line; "#" lines are comments), else the pieces of its plain
// text. Nothing is parsed or re-encoded, so letter case and percent escapes stay as dragged.
QStringList DroppedLinkTexts(const QByteArray& uriList, const QString& plainText);

// Where new jobs go: the table (any thread) and the download list (GUI thread only).
struct TJobIntake
{
    TDownloadState& state;
    ListViewModel& list;
    TMessageQueue& gui;
};

// Appends a job and its row; returns its id. Callable from any thread: the record is
// appended at once, the row on the GUI thread (at once when called there). Posts nothing.
int AddDownloadJob(TJobIntake intake, const QString& link, bool startNow,
                   const QString& followedUser = {}, const QString& followedTrackId = {});

// One followed track to queue with AddDownloadJobs.
struct TNewFollowedJob
{
    QString link;
    QString followedUser;
    QString followedTrackId;
};

// Appends queued jobs for followed tracks, in order, and their rows in a single insertion
// (one GUI-thread task when called from another thread), so thousands of jobs cost the GUI
// thread one update. Returns the new ids in order. Posts nothing.
std::vector<int> AddDownloadJobs(TJobIntake intake, const std::vector<TNewFollowedJob>& jobs);
