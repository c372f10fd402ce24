#pragma once

#include "follow/TPeopleInfo.h"

#include <QFile>
#include <QString>

namespace qbtest {

inline QString FollowFixture(const char* name)
{
    return QStringLiteral(QB_SOURCE_DIR "/tests/follow/fixtures/") + QString::fromLatin1(name);
}

inline QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

inline TTracksInfo MakeTrack(const QString& id, const QString& title = {},
                             const QString& duration = {}, const QString& size = {},
                             const QString& permalink = {})
{
    TTracksInfo t;
    t.t_id = id;
    t.t_title = title;
    t.t_duration = duration;
    t.t_original_content_size = size;
    t.t_permalink_url = permalink;
    return t;
}

// The users of fixtures/followuser-golden.xml, as the store holds them after a read.
inline TPeopleInfo GoldenAlice()
{
    TPeopleInfo p;
    p.t_Name = QStringLiteral("Alice");
    p.t_ID = QStringLiteral("1001");
    p.t_username = QStringLiteral("Alice A.");
    p.t_permalink_url = QStringLiteral("http://soundcloud.com/alice");
    p.t_full_name = QStringLiteral("Alice Example");
    p.t_description = QStringLiteral("Line one\r\nLine <two> & \"three\" 'four'");
    p.t_city = QStringLiteral("Tromsø");
    p.t_track_count = QStringLiteral("2");
    p.t_followers_count = QStringLiteral("12");
    p.t_lastCheckTime = QStringLiteral("20131224153005");
    p.t_AutoCheck = 1;
    TTracksInfo a = MakeTrack("100", QStringLiteral("Night Drive – Original Mix"), "225000",
                              "3145728", "https://soundcloud.com/alice/night-drive");
    a.t_created_at = QStringLiteral("2013/05/01 12:34:56 +0000");
    a.t_original_format = QStringLiteral("mp3");
    a.t_downloaded_at = QStringLiteral("20130405123456");
    a.t_Downloaded_LocalFile = QStringLiteral("/home/listener/Music/Night Drive.mp3");
    p.t_TracksInfo = {a, MakeTrack("99", QStringLiteral("Untitled & unfinished"))};
    p.t_TracksCount = 2;
    p.t_DownloadedCount = 1;
    return p;
}

inline TPeopleInfo GoldenBob()
{
    TPeopleInfo p;
    p.t_Name = QStringLiteral("bob");
    p.t_AutoCheck = 2;
    return p;
}

} // namespace qbtest
