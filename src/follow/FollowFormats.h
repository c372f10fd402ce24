#pragma once

#include <QString>

#include <cstdint>

// Texts of the followed-users lists.

// "YYYYMMDDHHMMSS" as "YYYY-MM-DD HH:MM:SS"; any other length gives an empty text.
QString FormatCheckTime(const QString& stamp);

// Milliseconds as "h:m:s" without leading zeros (0:3:45); empty when not a number.
QString FormatDuration(const QString& milliseconds);

// A byte count as "n Byte", or with two decimals in KB, MB or GB.
QString FormatFileSize(std::int64_t bytes);

// The Size column of a track row: "3145728 (3.00 MB)"; empty when not a number.
QString FormatTrackSize(const QString& bytes);

// Decimal text read as a 64-bit integer, blanks around it allowed.
bool ReadInt64(const QString& text, std::int64_t& value);
