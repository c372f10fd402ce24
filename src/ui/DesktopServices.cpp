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

// Every box shows its text as plain text: a version or a track name from a server that
// holds markup must not turn into a link or formatting.
int show(QWidget* parent, QMessageBox::Icon icon, const QString& text,
         QMessageBox::StandardButtons buttons, QMessageBox::StandardButton preset)
{
    QMessageBox box(icon, kCaption, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(preset);
    return box.exec();
}
} // namespace

bool QtPrompts::askYesNo(const QString& text)
{
    return show(m_parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                QMessageBox::No) == QMessageBox::Yes;
}

void QtPrompts::information(const QString& text)
{
    show(m_parent, QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtPrompts::warning(const QString& text)
{
    show(m_parent, QMessageBox::Warning, text, QMessageBox::Ok, QMessageBox::Ok);
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
