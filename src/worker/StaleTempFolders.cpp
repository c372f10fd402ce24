#include "StaleTempFolders.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

const char kTempMarkerName[] = ".quillbrook-temp";

namespace {

constexpr time_t kUntouchedSeconds = 24 * 60 * 60;

// A descriptor closed with its owner.
class TFd
{
public:
    explicit TFd(int fd = -1) : m_fd(fd) {}
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

// A folder below dir opened only when it is a real folder, not a link to one.
int openFolderAt(int dir, const char* name)
{
    return ::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool processRuns(qint64 pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    // EPERM: it runs, under another user.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The names in an open folder, "." and ".." left out. The descriptor stays with the caller.
QList<QByteArray> entriesOf(int folder)
{
    QList<QByteArray> names;
    const int copy = ::dup(folder);
    DIR* dir = copy < 0 ? nullptr : ::fdopendir(copy);
    if (!dir) {
        if (copy >= 0)
            ::close(copy);
        return names;
    }
    // The copy shares the reading position: from the start, however often it was read.
    ::rewinddir(dir);
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.append(QByteArray(e->d_name));
    }
    ::closedir(dir);
    return names;
}

// The folder or anything in it was changed since then; links are looked at, not followed.
bool touchedSince(int folder, time_t since)
{
    struct stat st;
    if (::fstat(folder, &st) != 0 || st.st_mtime >= since)
        return true;
    for (const QByteArray& name : entriesOf(folder)) {
        if (::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return true;
        if (st.st_mtime >= since)
            return true;
        if (S_ISDIR(st.st_mode)) {
            const TFd sub(openFolderAt(folder, name.constData()));
            if (!sub.valid() || touchedSince(sub.get(), since))
                return true;
        }
    }
    return false;
}

// Everything in an open folder, folders below it one by one, links as links.
bool removeContents(int folder)
{
    bool ok = true;
    for (const QByteArray& name : entriesOf(folder)) {
        struct stat st;
        if (::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            const TFd sub(openFolderAt(folder, name.constData()));
            ok = sub.valid() && removeContents(sub.get()) &&
                 ::unlinkat(folder, name.constData(), AT_REMOVEDIR) == 0 && ok;
        } else {
            ok = ::unlinkat(folder, name.constData(), 0) == 0 && ok;
        }
    }
    return ok;
}

// The folder holds our marker, a regular file naming the process of the folder's name.
bool markedAsOurs(int folder, qint64 pid)
{
    const TFd marker(::openat(folder, kTempMarkerName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!marker.valid() || ::fstat(marker.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    char text[32] = {};
    const ssize_t n = ::read(marker.get(), text, sizeof text - 1);
    return n > 0 && QByteArray(text, int(n)).trimmed().toLongLong() == pid;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

bool MakeEngineTempFolder(const QString& saveFolder, const QString& name, QString& error)
{
    const QString tempPath = saveFolder + QStringLiteral("Temp");
    if (!QDir().mkpath(saveFolder)) {
        error = QStringLiteral("cannot create the folder ") + saveFolder;
        return false;
    }
    const QByteArray temp = QFile::encodeName(tempPath);
    if (::mkdir(temp.constData(), 0777) != 0 && errno != EEXIST) {
        error = QStringLiteral("cannot create the folder ") + tempPath + QStringLiteral(": ") +
                systemError(errno);
        return false;
    }
    const TFd tempFd(openFolderAt(AT_FDCWD, temp.constData()));
    if (!tempFd.valid()) {
        const int cause = errno;
        error = tempPath + (cause == ELOOP || cause == ENOTDIR
                                ? QStringLiteral(" is a link or a file, not a folder")
                                : QStringLiteral(": ") + systemError(cause));
        return false;
    }
    const QByteArray engine = QFile::encodeName(name);
    const bool made = ::mkdirat(tempFd.get(), engine.constData(), 0700) == 0;
    if (!made && errno != EEXIST) {
        error = QStringLiteral("cannot create the folder ") + tempPath + QLatin1Char('/') + name +
                QStringLiteral(": ") + systemError(errno);
        return false;
    }
    const TFd folder(openFolderAt(tempFd.get(), engine.constData()));
    if (!folder.valid()) {
        error = tempPath + QLatin1Char('/') + name + QStringLiteral(" is not a folder");
        return false;
    }
    const TFd marker(::openat(folder.get(), kTempMarkerName,
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!marker.valid()) {
        if (errno == EEXIST && !made)
            return true; // marked when this engine made it
        error = QStringLiteral("cannot mark the folder ") + tempPath + QLatin1Char('/') + name +
                QStringLiteral(": ") + systemError(errno);
        return false;
    }
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::write(marker.get(), pid.constData(), size_t(pid.size())) != ssize_t(pid.size())) {
        error = QStringLiteral("cannot mark the folder ") + tempPath + QLatin1Char('/') + name +
                QStringLiteral(": ") + systemError(errno);
        return false;
    }
    return true;
}

void RemoveEngineTempFolderIfEmpty(const QString& folder)
{
    QString path = folder;
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QByteArray encoded = QFile::encodeName(path);
    const TFd fd(openFolderAt(AT_FDCWD, encoded.constData()));
    if (!fd.valid())
        return;
    const QList<QByteArray> names = entriesOf(fd.get());
    if (names.size() > 1 || (names.size() == 1 && names.front() != kTempMarkerName))
        return;
    if (!names.isEmpty())
        ::unlinkat(fd.get(), kTempMarkerName, 0);
    ::rmdir(encoded.constData());
}

int RemoveStaleTempFolders(const QString& saveFolder)
{
    if (saveFolder.isEmpty())
        return 0;
    const QByteArray tempPath =
        QFile::encodeName(QDir(saveFolder).filePath(QStringLiteral("Temp")));
    // A Temp that is a link may lead anywhere: nothing is looked for in it.
    const TFd temp(openFolderAt(AT_FDCWD, tempPath.constData()));
    if (!temp.valid())
        return 0;
    static const QRegularExpression shape(QStringLiteral("^([0-9]{1,10})-[0-9]{1,10}$"));
    const time_t since = ::time(nullptr) - kUntouchedSeconds;
    int removed = 0;
    for (const QByteArray& name : entriesOf(temp.get())) {
        const QRegularExpressionMatch m = shape.match(QString::fromLatin1(name));
        if (!m.hasMatch())
            continue;
        const qint64 pid = m.captured(1).toLongLong();
        if (pid == ::getpid() || processRuns(pid))
            continue;
        const TFd folder(openFolderAt(temp.get(), name.constData()));
        if (!folder.valid() || !markedAsOurs(folder.get(), pid) ||
            touchedSince(folder.get(), since))
            continue;
        if (removeContents(folder.get()) &&
            ::unlinkat(temp.get(), name.constData(), AT_REMOVEDIR) == 0)
            ++removed;
    }
    if (removed > 0)
        ::rmdir(tempPath.constData()); // only when nothing else is in it
    return removed;
}
