#pragma once

#include <QString>
#include <QStringList>

// What a YouTube watch page gives the download: the video's title (for the working file)
// and the address of one stream of its stream map.
struct TYouTubeStream
{
    bool chosen = false; // a stream of acceptable quality was found
    QString title;       // cleaned and cut; empty when the page has none
    QString mediaUrl;    // the chosen stream's address, ready for the request line
};

// Decodes "%XX" (two characters read by HexStrToInt) into the character with that code,
// "+" into a blank, and copies everything else. No UTF-8 decoding: each escape gives one
// character of code 0 to 255. A "%" with fewer than two characters after it is copied.
QString UrlDecode(const QString& text);

// Reads hexadecimal digits after upper-casing the text and dropping a final "H"; 0 for an
// empty text or at the first character that is no hexadecimal digit.
qint64 HexStrToInt(const QString& text);

// "&amp;quot;" (any case) becomes a blank, then / \ : ? " < > | * are removed; the result
// is cut to its first 250 characters. Leading and trailing blanks stay.
QString CleanYouTubeTitle(const QString& title);

// Scans a watch page line by line up to and including the first stream-map line: the
// title from the first line holding both title tags, or from the text after the ltr marker
// on the stream-map line; the stream chosen is the last entry whose quality is not "small".
class TYouTubePageScan
{
public:
    // Takes the next line (without its line end); true once the stream-map line was read.
    bool Feed(const QString& line);
    const TYouTubeStream& Result() const { return m_stream; }

private:
    TYouTubeStream m_stream;
    bool m_haveTitle = false;
};

// The scan over lines held in memory.
TYouTubeStream ParseYouTubeLines(const QStringList& lines);

// The same over a page file (read as UTF-8, line by line). False when the file cannot be
// read or is larger than kMaxPageBytes. The caller deletes the file.
bool ReadYouTubePage(const QString& pageFile, TYouTubeStream& stream);
