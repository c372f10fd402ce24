#pragma once

#include <QString>

#include <vector>

// A small read-only INI reader: "[section]" lines and "key=value" lines. Sections and keys
// match ignoring case, the first occurrence wins, values are trimmed of blanks and control
// characters. Reads UTF-8 (with or without a byte-order mark) and UTF-16 with a byte-order
// mark. Values are returned exactly as written otherwise: no escapes, no quoting rules.
class IniFile
{
public:
    // An empty reader when the file cannot be read.
    static IniFile load(const QString& path);
    static IniFile parse(const QByteArray& bytes);

    QString value(const QString& section, const QString& key, const QString& fallback = {}) const;

private:
    struct Entry
    {
        QString section; // folded to lower case
        QString key;     // folded to lower case
        QString value;
    };
    std::vector<Entry> m_entries;
};
