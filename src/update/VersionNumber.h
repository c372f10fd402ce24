#pragma once

#include <QString>

// Version texts as the maker's site publishes them: digits with optional "." groups
// ("2", "2.9", "2.9.1"), at most 16 characters. Nothing else is a version, whatever the
// user's locale: no sign, no exponent, no "inf" or "nan", no "," as decimal separator.
bool IsVersionText(const QString& text);

// Compares two version texts as decimal numbers with "." as the decimal separator, so
// "2.10" is 2.1 and older than "2.8". Further groups refine the fraction ("2.8.1" is newer
// than "2.8"). Exact: no floating point. Both must be version texts.
// Negative when a is older than b, zero when equal, positive when newer.
int CompareVersions(const QString& a, const QString& b);
