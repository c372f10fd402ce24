#include "THttpResponseParser.h"

#include "AsciiText.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s)
{
    return ascii::trimmed(s, isBlank);
}

using ascii::equalNoCase;
using ascii::lower;
using ascii::startsWithNoCase;

// Whether a comma-separated header value holds the token, ignoring case.
bool hasToken(std::string_view value, std::string_view token)
{
    while (!value.empty()) {
        const std::size_t comma = value.find(',');
        if (equalNoCase(trimmed(value.substr(0, comma)), token))
            return true;
        if (comma == std::string_view::npos)
            break;
        value.remove_prefix(comma + 1);
    }
    return false;
}

// The last coding of a Transfer-Encoding value, without its parameters; "identity" (the
// coding of no coding) and empty items are skipped.
std::string_view lastCoding(std::string_view value)
{
    std::string_view last;
    while (!value.empty()) {
        const std::size_t comma = value.find(',');
        std::string_view item = value.substr(0, comma);
        item = trimmed(item.substr(0, item.find(';')));
        if (!item.empty() && !equalNoCase(item, "identity"))
            last = item;
        if (comma == std::string_view::npos)
            break;
        value.remove_prefix(comma + 1);
    }
    return last;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A decimal 64-bit number, -1 when the text is anything else.
std::int64_t parseLength(std::string_view s)
{
    s = trimmed(s);
    if (s.empty())
        return -1;
    std::int64_t value = 0;
    for (char c : s) {
        if (!isDigit(c))
            return -1;
        if (value > (std::numeric_limits<std::int64_t>::max() - (c - '0')) / 10)
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// A Content-Length value, which may list the same number more than once ("42, 42"); -1 when
// it is not a number, -2 when the listed numbers differ.
std::int64_t listedLength(std::string_view value)
{
    std::int64_t length = -1;
    bool first = true;
    for (;;) {
        const std::size_t comma = value.find(',');
        const std::int64_t item = parseLength(value.substr(0, comma));
        if (!first && item != length)
            return -2;
        length = item;
        first = false;
        if (comma == std::string_view::npos)
            return length;
        value.remove_prefix(comma + 1);
    }
}

std::string_view withoutLineEnd(std::string_view line)
{
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

} // namespace

THttpResponseParser::THttpResponseParser(TSink& sink) : m_sink(sink) {}

void THttpResponseParser::reset(bool keepAliveByDefault)
{
    m_phase = TPhase::StatusLine;
    m_end = TEnd::Open;
    m_error.clear();
    m_line.clear();
    m_headerBytes = 0;
    m_trailerBytes = 0;
    m_remaining = 0;
    m_keepAliveByDefault = keepAliveByDefault;
    m_hasStatus = false;
    m_headerDone = false;
    m_withoutHeader = false;
    m_status = 0;
    m_reason.clear();
    m_version.clear();
    m_contentLength = -1;
    m_lengthSeen = false;
    m_contentType.clear();
    m_chunked = false;
    m_transferEncoded = false;
    m_keepAlive = false;
    m_location.clear();
}

bool THttpResponseParser::isLinePhase() const
{
    switch (m_phase) {
    case TPhase::StatusLine:
    case TPhase::Header:
    case TPhase::ChunkSize:
    case TPhase::ChunkDataEnd:
    case TPhase::Trailer:
        return true;
    default:
        return false;
    }
}

bool THttpResponseParser::lineLimitExceeded(std::size_t more) const
{
    // The limit is on the line's text; its CR LF comes on top.
    if (m_line.size() + more > kMaxLine + 2)
        return true;
    if (m_phase == TPhase::StatusLine || m_phase == TPhase::Header)
        return m_headerBytes + more > kMaxHeader;
    if (m_phase == TPhase::Trailer)
        return m_trailerBytes + more > kMaxHeader;
    return false;
}

void THttpResponseParser::fail(const char* why)
{
    m_error = why;
    finish(TEnd::Malformed);
}

void THttpResponseParser::finish(TEnd how)
{
    m_end = how;
    m_phase = TPhase::Done;
    m_line.clear();
}

std::size_t THttpResponseParser::feed(const char* data, std::size_t size)
{
    std::size_t pos = 0;
    while (pos < size && m_end == TEnd::Open) {
        const char* start = data + pos;
        const std::size_t avail = size - pos;

        if (isLinePhase()) {
            const auto* lf = static_cast<const char*>(std::memchr(start, '\n', avail));
            const std::size_t take = lf ? std::size_t(lf - start + 1) : avail;
            if (lineLimitExceeded(take)) {
                fail(m_line.size() + take > kMaxLine + 2 ? "a line is longer than 64 KiB"
                                                         : "the header is larger than 1 MiB");
                return pos;
            }
            if (m_phase == TPhase::StatusLine || m_phase == TPhase::Header)
                m_headerBytes += take;
            else if (m_phase == TPhase::Trailer)
                m_trailerBytes += take;
            m_line.append(start, take);
            pos += take;

            if (m_phase == TPhase::StatusLine && (lf || m_line.size() >= 9)) {
                const std::string_view first = m_line;
                if (startsWithNoCase(first, "<HTML>") || startsWithNoCase(first, "<!DOCTYPE")) {
                    if (!startHtmlBody())
                        return pos;
                    continue;
                }
            }
            if (!lf)
                continue;
            const std::string line(withoutLineEnd(m_line));
            m_line.clear();
            if (!processLine(line))
                return pos;
            continue;
        }

        if (m_phase == TPhase::UntilClose) {
            const std::size_t n = std::min(avail, kMaxPiece);
            pos += n;
            if (!m_sink.bodyData(start, n))
                return pos;
            continue;
        }

        // Body of known length, or the data of one chunk.
        const std::size_t n =
            std::size_t(std::min<std::uint64_t>({avail, m_remaining, std::uint64_t(kMaxPiece)}));
        m_remaining -= n;
        pos += n;
        if (m_remaining == 0) {
            if (m_phase == TPhase::Body)
                finish(TEnd::Complete);
            else
                m_phase = TPhase::ChunkDataEnd;
        }
        if (!m_sink.bodyData(start, n))
            return pos;
    }
    return pos;
}

void THttpResponseParser::connectionClosed()
{
    if (m_end != TEnd::Open)
        return;
    // A last line that never got its line end still counts in the header.
    if ((m_phase == TPhase::StatusLine || m_phase == TPhase::Header) && !m_line.empty()) {
        const std::string_view first = m_line;
        if (m_phase == TPhase::StatusLine &&
            (startsWithNoCase(first, "<HTML>") || startsWithNoCase(first, "<!DOCTYPE"))) {
            startHtmlBody();
        } else {
            const std::string line(withoutLineEnd(m_line));
            m_line.clear();
            if (!line.empty())
                processLine(line);
        }
    }
    if (m_end == TEnd::Open)
        finish(TEnd::Closed);
}

// A response that starts straight with an HTML document has no header: all of it is body.
bool THttpResponseParser::startHtmlBody()
{
    m_withoutHeader = true;
    m_hasStatus = true;
    m_headerDone = true;
    m_status = 200;
    m_reason = "OK";
    m_contentType = "text/html";
    m_phase = TPhase::UntilClose;
    const std::string body = std::move(m_line);
    m_line.clear();
    if (!m_sink.headerEnd())
        return false;
    for (std::size_t at = 0; at < body.size(); at += kMaxPiece) {
        if (!m_sink.bodyData(body.data() + at, std::min(kMaxPiece, body.size() - at)))
            return false;
    }
    return true;
}

bool THttpResponseParser::processLine(std::string_view line)
{
    switch (m_phase) {
    case TPhase::StatusLine:
        return processStatusLine(line);
    case TPhase::Header:
        return processHeaderLine(line);
    case TPhase::ChunkSize:
        return processChunkSize(line);
    case TPhase::ChunkDataEnd:
        if (!line.empty()) {
            fail("a chunk is longer than its size says");
            return false;
        }
        m_phase = TPhase::ChunkSize;
        return true;
    case TPhase::Trailer:
        // Trailer fields are read past and dropped; the empty line ends the body.
        if (line.empty())
            finish(TEnd::Complete);
        return true;
    default:
        return true;
    }
}

bool THttpResponseParser::processStatusLine(std::string_view line)
{
    if (line.empty())
        return true; // stray blank lines before a status line are skipped
    std::size_t digits = 9;
    while (digits < line.size() && !isDigit(line[digits]))
        ++digits;
    const bool valid = line.substr(0, 5) == "HTTP/" && digits + 3 <= line.size() &&
                       isDigit(line[digits + 1]) && isDigit(line[digits + 2]);
    if (!valid) {
        fail("no HTTP status line");
        return false;
    }
    m_version = std::string(line.substr(5, 3));
    m_status =
        (line[digits] - '0') * 100 + (line[digits + 1] - '0') * 10 + (line[digits + 2] - '0');
    std::string_view reason = line.substr(digits + 3);
    if (!reason.empty() && reason.front() == ' ')
        reason.remove_prefix(1);
    m_reason = std::string(reason);
    m_hasStatus = true;
    m_contentLength = -1;
    m_lengthSeen = false;
    m_contentType.clear();
    m_chunked = false;
    m_transferEncoded = false;
    m_location.clear();
    m_keepAlive = m_keepAliveByDefault && m_version == "1.1";
    m_phase = TPhase::Header;
    return m_sink.headerLine(line, true);
}

bool THttpResponseParser::processHeaderLine(std::string_view line)
{
    if (!line.empty()) {
        if (!readField(line))
            return false;
        return m_sink.headerLine(line, false);
    }
    if (m_status == 100 && m_version == "1.1") {
        m_hasStatus = false;
        m_status = 0;
        m_reason.clear();
        m_phase = TPhase::StatusLine;
        return m_sink.interimResponseEnd();
    }
    m_headerDone = true;
    // Interim, "No Content" and "Not Modified" responses never carry a body, whatever their
    // header says; waiting for one would stall a kept-alive connection.
    if (m_status < 200 || m_status == 204 || m_status == 304) {
        finish(TEnd::Complete);
    } else if (m_chunked) {
        m_phase = TPhase::ChunkSize;
    } else if (m_transferEncoded) {
        m_phase = TPhase::UntilClose; // a coding this client cannot frame: Content-Length lies
    } else if (m_contentLength == 0) {
        finish(TEnd::Complete);
    } else if (m_contentLength > 0) {
        m_remaining = std::uint64_t(m_contentLength);
        m_phase = TPhase::Body;
    } else if (m_status == 301 || m_status == 302) {
        finish(TEnd::Complete);
    } else {
        m_phase = TPhase::UntilClose;
    }
    return m_sink.headerEnd();
}

bool THttpResponseParser::readField(std::string_view line)
{
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return true;
    // A name with blanks in it or around it is no field name ("Content-Length :" is not
    // Content-Length, and a line starting with a blank continues the line before).
    const std::string_view name = line.substr(0, colon);
    if (std::any_of(name.begin(), name.end(), isBlank))
        return true;
    const std::string_view value = trimmed(line.substr(colon + 1));
    if (equalNoCase(name, "content-length")) {
        // One length for the body, however often it is repeated; two different ones leave
        // no way to tell where the body ends.
        const std::int64_t length = listedLength(value);
        if (length == -2 || (m_lengthSeen && length != m_contentLength)) {
            fail("conflicting Content-Length values");
            return false;
        }
        m_lengthSeen = true;
        m_contentLength = length;
    } else if (equalNoCase(name, "transfer-encoding")) {
        // The codings of all such lines form one list; the body is chunked only when
        // "chunked" is the last of them. Any other coding leaves the length to the close.
        if (const std::string_view last = lastCoding(value); !last.empty()) {
            m_transferEncoded = true;
            m_chunked = equalNoCase(last, "chunked");
        }
    } else if (equalNoCase(name, "content-type")) {
        m_contentType = std::string(value);
    } else if (equalNoCase(name, "location")) {
        m_location = std::string(value);
    } else if (equalNoCase(name, "connection") || equalNoCase(name, "proxy-connection")) {
        if (hasToken(value, "close"))
            m_keepAlive = false;
        else if (hasToken(value, "keep-alive"))
            m_keepAlive = true;
    }
    return true;
}

bool THttpResponseParser::processChunkSize(std::string_view line)
{
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    const std::size_t first = i;
    std::uint64_t value = 0;
    for (; i < line.size() && hexValue(line[i]) >= 0; ++i) {
        // 16 hex digits at most, and the size must fit a signed 64-bit count.
        if (i - first >= 16 ||
            value > (std::uint64_t(std::numeric_limits<std::int64_t>::max()) >> 4)) {
            fail("a chunk size is too large");
            return false;
        }
        value = value * 16 + std::uint64_t(hexValue(line[i]));
    }
    const bool hadDigits = i > first;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    if (!hadDigits || (i < line.size() && line[i] != ';')) {
        fail("a chunk size is not a hexadecimal number");
        return false;
    }
    if (value == 0) {
        m_phase = TPhase::Trailer;
    } else {
        m_remaining = value;
        m_phase = TPhase::ChunkData;
    }
    return true;
}
