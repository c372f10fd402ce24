#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;
class TFollowedPeople;

// "followuser.xml": carries the followed users from one run to the next. Read once when
// the window is first shown, written on every close request.
class TPeopleFile
{
public:
    explicit TPeopleFile(QString path);

    // DataDir + "data/followuser.xml".
    static QString DefaultPath();

    const QString& Path() const { return m_path; }
    // The copy of a file that stopped loading part way: Path() + ".bad".
    QString BadCopyPath() const { return m_path + QStringLiteral(".bad"); }

    // ReadPeopleInfo: when the file exists, replaces the store's users with the file's.
    // A file that stops loading part way (malformed, cut short, unreadable) leaves the
    // users read before the fault; it is remembered, and the first save copies the file
    // aside before replacing it. False when the file exists but did not load whole.
    bool ReadPeopleInfo(TFollowedPeople& store);
    // Why the last read stopped early; empty after a whole read or with no file.
    const QString& LoadError() const { return m_loadError; }

    // WritePeopleInfo: saves the users that are not deleted, replacing the file at once
    // (a failure leaves the previous file whole). Creates the folder when missing. Returns
    // an empty text on success, else the reason.
    QString WritePeopleInfo(const TFollowedPeople& store);

    // The file's bytes for the users as they are now. The store is locked only while each
    // user is copied.
    static QByteArray SaveBytes(const TFollowedPeople& store);
    // Writes SaveBytes to an open device; returns an empty text or the device's error.
    static QString WriteTo(const TFollowedPeople& store, QIODevice& device);

private:
    QString m_path;
    QString m_loadError;
    bool m_keepBadCopy = false;
};
