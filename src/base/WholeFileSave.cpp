#include "WholeFileSave.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString SaveFileWhole(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    // Unbuffered: a buffered save reports a full disk only at the commit's flush, and the
    // commit then puts the short file in place anyway.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason.isEmpty() ? QStringLiteral("the file was not written whole") : reason;
    }
    if (::fsync(file.handle()) != 0) {
        const int error = errno;
        file.cancelWriting();
        return SystemError(error);
    }
    if (!file.commit())
        return file.errorString();
    // The rename itself reaches the disk with the folder.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}
