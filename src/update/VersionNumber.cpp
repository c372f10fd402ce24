#include "VersionNumber.h"

#include <QStringList>

namespace {

constexpr qsizetype kMaxVersionLength = 16;

bool allDigits(QStringView s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// Whole parts compare as numbers: drop leading zeros, then the longer is larger.
int compareWhole(QStringView a, QStringView b)
{
    while (a.size() > 1 && a.front() == QLatin1Char('0'))
        a = a.mid(1);
    while (b.size() > 1 && b.front() == QLatin1Char('0'))
        b = b.mid(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

// Fractions compare digit by digit, the shorter padded with zeros ("1" == "10").
int compareFraction(QStringView a, QStringView b)
{
    const qsizetype n = std::max(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const QChar x = i < a.size() ? a[i] : QLatin1Char('0');
        const QChar y = i < b.size() ? b[i] : QLatin1Char('0');
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

} // namespace

bool IsVersionText(const QString& text)
{
    if (text.isEmpty() || text.size() > kMaxVersionLength)
        return false;
    const QStringList groups = text.split(QLatin1Char('.'));
    for (const QString& g : groups) {
        if (!allDigits(g))
            return false;
    }
    return true;
}

int CompareVersions(const QString& a, const QString& b)
{
    const QStringList x = a.split(QLatin1Char('.'));
    const QStringList y = b.split(QLatin1Char('.'));
    if (const int whole = compareWhole(x.value(0), y.value(0)); whole != 0)
        return whole;
    const qsizetype n = std::max(x.size(), y.size());
    for (qsizetype i = 1; i < n; ++i) {
        if (const int part = compareFraction(x.value(i), y.value(i)); part != 0)
            return part;
    }
    return 0;
}
