#include "DesktopServices.h"

#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace {
const QString kCaption = QStringLiteral("Quillbrook");
}

bool QtPrompts::askYesNo(const QString& text)
{
    return QMessageBox::question(m_parent, kCaption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void QtPrompts::information(const QString& text)
{
    QMessageBox::information(m_parent, kCaption, text);
}

void QtPrompts::warning(const QString& text)
{
    QMessageBox::warning(m_parent, kCaption, text);
}

void QtDesktop::openUrl(const QString& address)
{
    QDesktopServices::openUrl(QUrl(address));
}

void QtDesktop::openFile(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtDesktop::revealFile(const QString& path)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        openFolder(QFileInfo(path).absolutePath());
}

void QtDesktop::openFolder(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtDesktop::setClipboardText(const QString& text)
{
    QApplication::clipboard()->setText(text);
}
