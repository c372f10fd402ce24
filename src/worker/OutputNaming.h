#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

// "|" becomes a blank; nothing else changes (the path stays whole).
QString ReplaceBars(const QString& path);

// The Size column text of a byte count: "" for 0, "512B", "2.00K", "1.00M", "1.00G".
QString SizeText(std::int64_t bytes);

// folder of path + count + "-" + file name of path.
QString NumberedName(const QString& path, int count);

// The working-file choice. First against the file names other rows of the list show
// (letter case ignored), then on the disk, where the candidate is created at once; the
// numbering goes on from one to the other, up to 10000.
struct TNameChoice
{
    QString path;  // original path
    int count = 0; // numbers used so far
    QString candidate;
};
TNameChoice ChooseAgainstCaptions(const QString& path, const QStringList& otherCaptions);

// What creating a candidate on the disk gave.
enum class TCreated
{
    Created,
    Taken,  // the name is in use (a file, a folder or a link): the next number is tried
    Failed, // the file cannot be created at all
};
// The candidate create made; empty when it failed or every number up to 10000 was taken.
QString ChooseAgainstDisk(TNameChoice choice,
                          const std::function<TCreated(const QString&)>& create);

// Gives a finished download its ".mp3" name without replacing anything, not even a file
// that takes the name meanwhile: name.mp3, else 1-name.mp3, 2-name.mp3 ... Returns the new
// name; empty when the file could not be renamed (error then says why).
QString GiveMp3Name(const QString& workingFile, QString* error = nullptr);

// Control characters (also CR, LF and NUL), DEL, the C1 controls and the bidirectional
// marks and overrides removed: a page name shows as what it is and ends where it seems to.
// Tabs and line ends become blanks.
QString WithoutControls(const QString& name);

// Most UTF-8 bytes a name from a page may have: a file name has at most 255, and the name
// may get two number prefixes of up to "10001-" (working file, then final name) and ".mp3".
constexpr int kMaxPageNameBytes = 255 - 2 * 6 - 4;

// The longest start of name that takes at most maxBytes in UTF-8, cut between code points.
QString FitUtf8Bytes(const QString& name, int maxBytes);

// The working-file name of a YouTube title (already cleaned of the characters a file name
// cannot hold): without controls (WithoutControls), no leading dot, so no hidden file,
// and cut to kMaxPageNameBytes of UTF-8 between code points. Empty when nothing is left.
QString YouTubeWorkingName(const QString& title);
