#pragma once

#include <QByteArray>

#include <string_view>

// Text rules shared by the reader, the nodes and the writer.
namespace xmltext {

// Whitespace around text: any character below code 33.
inline bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) < 33;
}

// The text without its leading and trailing blanks.
std::string_view Trimmed(std::string_view text);

// CR LF and lone CR become LF.
QByteArray NormalisedLineBreaks(const QByteArray& text);

// Line breaks normalised, and every byte that is not valid UTF-8 or stands for a character
// XML 1.0 cannot carry (controls other than tab and LF, U+FFFE, U+FFFF) replaced by U+FFFD.
QByteArray CleanValue(const QByteArray& utf8);

// True when the text can be written as an element name and reads back as one: valid UTF-8,
// an ASCII letter, "_", ":" or a non-ASCII name character first, then those, digits, "-" and
// "."; non-ASCII characters are name characters when the reader takes them in a name.
bool IsValidName(const QByteArray& name);

} // namespace xmltext
