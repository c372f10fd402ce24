#include "IniFile.h"

#include "TextHelpers.h"

#include <QFile>
#include <QStringConverter>
#include <QStringDecoder>

#include <algorithm>

namespace {

QString decode(const QByteArray& bytes)
{
    auto encoding = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(encoding.value_or(QStringConverter::Utf8),
                           QStringConverter::Flag::Default);
    return decoder.decode(bytes);
}

} // namespace

IniFile IniFile::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll());
}

IniFile IniFile::parse(const QByteArray& bytes)
{
    IniFile ini;
    QString text = decode(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QString section;
    for (QStringView raw : QStringView(text).split(QLatin1Char('\n'))) {
        const QString line = TrimBlanksAndControls(raw.toString());
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            if (close > 0) {
                section = TrimBlanksAndControls(line.mid(1, close - 1)).toLower();
            }
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        ini.m_entries.push_back({section, TrimBlanksAndControls(line.left(eq)).toLower(),
                                 TrimBlanksAndControls(line.mid(eq + 1))});
    }
    return ini;
}

QString IniFile::value(const QString& section, const QString& key, const QString& fallback) const
{
    const QString s = section.toLower();
    const QString k = key.toLower();
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [&](const Entry& e) { return e.section == s && e.key == k; });
    return it == m_entries.end() ? fallback : it->value;
}
