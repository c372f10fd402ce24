#include "XmlText.h"

#include <expat.h>

#include <cstring>
#include <memory>
#include <new>

namespace xmltext {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD"; // U+FFFD

// Length of the valid UTF-8 sequence at text[i], or 0 when it is not one.
int SequenceLength(const unsigned char* text, qsizetype i, qsizetype size, char32_t& code)
{
    const unsigned char lead = text[i];
    int length;
    char32_t minimum;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > size)
        return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned char next = text[i + k];
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

bool IsXmlChar(char32_t code)
{
    if (code < 0x20)
        return code == 0x09 || code == 0x0A || code == 0x0D;
    return code != 0xFFFE && code != 0xFFFF;
}

// For ASCII the whole rule; every other character is left to ReaderTakesName.
bool IsNameChar(char32_t code, bool first)
{
    if (code >= 0x80)
        return true;
    if ((code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z') || code == '_' || code == ':')
        return true;
    return !first && ((code >= '0' && code <= '9') || code == '-' || code == '.');
}

// Whether the reader takes the text as the name of an element in a UTF-8 document. Which
// non-ASCII characters may make up a name is the reader's own table, so it is asked itself:
// a name it would refuse must never be written. The caller has checked the ASCII part, so
// the text cannot close the tag or add anything to it.
bool ReaderTakesName(const QByteArray& name)
{
    const std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate("UTF-8"),
                                                                         XML_ParserFree);
    if (!parser)
        throw std::bad_alloc();
    const QByteArray document = '<' + name + "/>";
    return XML_Parse(parser.get(), document.constData(), static_cast<int>(document.size()),
                     XML_TRUE) == XML_STATUS_OK;
}

} // namespace

std::string_view Trimmed(std::string_view text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

QByteArray NormalisedLineBreaks(const QByteArray& text)
{
    const char* at = text.constData();
    const char* const end = at + text.size();
    const char* cr = static_cast<const char*>(std::memchr(at, '\r', size_t(end - at)));
    if (!cr)
        return text;
    QByteArray result;
    result.reserve(text.size());
    while (cr) {
        result.append(at, cr - at);
        result += '\n';
        at = cr + 1;
        if (at < end && *at == '\n')
            ++at;
        cr = static_cast<const char*>(std::memchr(at, '\r', size_t(end - at)));
    }
    result.append(at, end - at);
    return result;
}

QByteArray CleanValue(const QByteArray& utf8)
{
    // Most values are printable ASCII, tab and LF: nothing to change.
    const auto* begin = reinterpret_cast<const unsigned char*>(utf8.constData());
    const auto* const end = begin + utf8.size();
    bool plain = true;
    for (const unsigned char* at = begin; at < end; ++at) {
        const unsigned char c = *at;
        plain &= (c >= 0x20 && c < 0x80) || c == '\t' || c == '\n';
    }
    if (plain)
        return utf8;

    const QByteArray text = NormalisedLineBreaks(utf8);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.constData());
    const qsizetype size = text.size();

    // Check first, copy only when something must change.
    qsizetype i = 0;
    char32_t code = 0;
    while (i < size) {
        if (bytes[i] >= 0x20 && bytes[i] < 0x80) {
            ++i;
            continue;
        }
        const int length = SequenceLength(bytes, i, size, code);
        if (length == 0 || !IsXmlChar(code))
            break;
        i += length;
    }
    if (i == size)
        return text;

    QByteArray result = text.left(i);
    while (i < size) {
        const int length = SequenceLength(bytes, i, size, code);
        if (length == 0) {
            result += kReplacement;
            ++i;
        } else {
            if (IsXmlChar(code))
                result.append(text.constData() + i, length);
            else
                result += kReplacement;
            i += length;
        }
    }
    return result;
}

bool IsValidName(const QByteArray& name)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(name.constData());
    const qsizetype size = name.size();
    if (size == 0)
        return false;
    qsizetype i = 0;
    char32_t code = 0;
    bool ascii = true;
    while (i < size) {
        const int length = SequenceLength(bytes, i, size, code);
        if (length == 0 || !IsNameChar(code, i == 0))
            return false;
        ascii = ascii && code < 0x80;
        i += length;
    }
    return ascii || ReaderTakesName(name);
}

} // namespace xmltext
