#include "YouTubePage.h"

#include "PageLimit.h"

#include <QFile>

namespace {

constexpr int kTitleLimit = 250;
constexpr int kEntryLimit = 100;

const QLatin1String kTitleOpen("<title>");
const QLatin1String kTitleClose("</title>");
const QLatin1String kMapKey("url_encoded_fmt_stream_map");
const QLatin1String kLtrMarker("dir=\"ltr\">");

// The text of a parameter ("key=value") in an entry: from the first occurrence of the key
// up to the next "&" or the entry's end; empty when the key is absent.
QString parameter(const QString& entry, QLatin1String key)
{
    const qsizetype at = entry.indexOf(key);
    if (at < 0)
        return {};
    const qsizetype end = entry.indexOf(QLatin1Char('&'), at);
    return end < 0 ? entry.mid(at) : entry.mid(at, end - at);
}

// Decoded characters 0x80 to 0xFF stand for single bytes of the address: they go on the
// request line as "%XX", as they came, not re-encoded as UTF-8.
QString escapeHighBytes(const QString& address)
{
    QString out;
    out.reserve(address.size());
    for (QChar c : address) {
        const char16_t u = c.unicode();
        if (u >= 0x80 && u <= 0xFF)
            out += QStringLiteral("%%1").arg(int(u), 2, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

// The stream address an entry stands for, or empty when the entry lacks what an address
// needs (the address, its format number or its signature).
QString entryAddress(const QString& entry)
{
    const QString sig = parameter(entry, QLatin1String("sig="));
    const QString itag = parameter(entry, QLatin1String("itag="));
    const qsizetype url = entry.indexOf(QLatin1String("url="));
    if (url < 0 || sig.isEmpty() || itag.isEmpty())
        return {};
    QString address = entry.mid(url + 4);
    for (const QString& p : {sig, itag, parameter(entry, QLatin1String("type=")),
                             parameter(entry, QLatin1String("fallback_host=")),
                             parameter(entry, QLatin1String("quality="))}) {
        if (!p.isEmpty())
            address.remove(p, Qt::CaseInsensitive);
    }
    return address + QLatin1Char('&') + itag + QStringLiteral("&signature=") + sig.mid(4);
}

void chooseStream(const QString& line, qsizetype keyAt, TYouTubeStream& stream)
{
    const qsizetype colon = line.indexOf(QLatin1Char(':'), keyAt + kMapKey.size());
    if (colon < 0)
        return;
    const qsizetype open = line.indexOf(QLatin1Char('"'), colon + 1);
    if (open < 0)
        return;
    const qsizetype close = line.indexOf(QLatin1Char('"'), open + 1);
    if (close < 0)
        return;
    QString map = UrlDecode(UrlDecode(line.mid(open + 1, close - open - 1)));
    map.replace(QLatin1String("\\u0026"), QLatin1String("&"), Qt::CaseInsensitive);

    const qsizetype eq = map.indexOf(QLatin1Char('='));
    const QString first = eq < 0 ? map : map.left(eq);
    const QString separator = QLatin1Char(',') + first + QLatin1Char('=');
    for (int n = 0; n < kEntryLimit && !map.isEmpty(); ++n) {
        QString entry;
        const qsizetype next = map.indexOf(separator);
        if (next < 0) {
            entry = map;
            map.clear();
        } else {
            entry = map.left(next);
            map = map.mid(next + 1);
        }
        const QString address = entryAddress(entry);
        if (address.isEmpty())
            continue;
        if (!parameter(entry, QLatin1String("quality=")).contains(QLatin1String("quality=small"))) {
            stream.mediaUrl = escapeHighBytes(address);
            stream.chosen = true;
        }
    }
}

} // namespace

QString UrlDecode(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('%') && i + 2 < text.size()) {
            out += QChar(char16_t(HexStrToInt(text.mid(i + 1, 2)) & 0xFF));
            i += 2;
        } else if (c == QLatin1Char('+')) {
            out += QLatin1Char(' ');
        } else {
            out += c;
        }
    }
    return out;
}

qint64 HexStrToInt(const QString& text)
{
    QString t = text.toUpper();
    if (t.endsWith(QLatin1Char('H')))
        t.chop(1);
    quint64 value = 0;
    for (QChar c : t) {
        int digit;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = c.unicode() - '0';
        else if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
            digit = c.unicode() - 'A' + 10;
        else
            return 0;
        value = value * 16 + quint64(digit);
    }
    return qint64(value);
}

QString CleanYouTubeTitle(const QString& title)
{
    QString clean = title;
    clean.replace(QLatin1String("&amp;quot;"), QLatin1String(" "), Qt::CaseInsensitive);
    for (QChar c :
         {QLatin1Char('/'), QLatin1Char('\\'), QLatin1Char(':'), QLatin1Char('?'), QLatin1Char('"'),
          QLatin1Char('<'), QLatin1Char('>'), QLatin1Char('|'), QLatin1Char('*')})
        clean.remove(c);
    return clean.left(kTitleLimit);
}

bool TYouTubePageScan::Feed(const QString& line)
{
    if (line.contains(kTitleOpen, Qt::CaseInsensitive) &&
        line.contains(kTitleClose, Qt::CaseInsensitive)) {
        if (m_haveTitle)
            return false;
        // The tags are looked for as written: a title in capital tags stays empty.
        const qsizetype close = line.indexOf(kTitleClose);
        const QString head = close < 0 ? QString() : line.left(close);
        const qsizetype open = head.indexOf(kTitleOpen);
        m_stream.title = open < 0 ? QString() : CleanYouTubeTitle(head.mid(open + 7));
        m_haveTitle = true;
        return false;
    }
    const qsizetype key = line.indexOf(kMapKey, 0, Qt::CaseInsensitive);
    if (key < 0)
        return false;
    if (!m_haveTitle) {
        const qsizetype ltr = line.indexOf(kLtrMarker, 0, Qt::CaseInsensitive);
        if (ltr >= 0) {
            const qsizetype start = ltr + kLtrMarker.size();
            const qsizetype end = line.indexOf(QLatin1Char('<'), start);
            m_stream.title =
                CleanYouTubeTitle(end < 0 ? line.mid(start) : line.mid(start, end - start));
        }
    }
    chooseStream(line, key, m_stream);
    return true;
}

TYouTubeStream ParseYouTubeLines(const QStringList& lines)
{
    TYouTubePageScan scan;
    for (const QString& line : lines) {
        if (scan.Feed(line))
            break;
    }
    return scan.Result();
}

bool ReadYouTubePage(const QString& pageFile, TYouTubeStream& stream)
{
    QFile file(pageFile);
    // A file past the page limit is no page: it is never read into memory.
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPageBytes)
        return false;
    TYouTubePageScan scan;
    while (!file.atEnd()) {
        const QByteArray bytes = file.readLine();
        if (bytes.isEmpty() && file.error() != QFileDevice::NoError)
            return false;
        QString line = QString::fromUtf8(bytes);
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (scan.Feed(line))
            break;
    }
    stream = scan.Result();
    return true;
}
