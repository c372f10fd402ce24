#pragma once

#include <QtGlobal>

// The most a page (a track or watch page) may hold: a larger reply is no page of a track,
// and neither the page phase nor the page readers take more than this.
inline constexpr qint64 kMaxPageBytes = 16 * 1024 * 1024;
