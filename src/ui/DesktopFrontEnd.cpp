#include "DesktopFrontEnd.h"

#include "AppActivation.h"
#include "DesktopServices.h"
#include "SessionEndSignals.h"
#include "TAboutWin.h"
#include "TAddWin.h"
#include "TBraeSettingsWin.h"
#include "TTarnMainWin.h"
#include "app/MainController.h"
#include "app/SettingsForm.h"
#include "app/SettingsStore.h"
#include "base/ThreadRegistry.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

DesktopFrontEnd::DesktopFrontEnd(int& argc, char** argv) : m_argc(argc), m_argv(argv) {}

DesktopFrontEnd::~DesktopFrontEnd() = default;

QApplication& DesktopFrontEnd::app()
{
    if (!m_app) {
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
        QApplication::setApplicationName(QStringLiteral("Quillbrook"));
        QApplication::setOrganizationName(QStringLiteral("Quillbrook"));
        QApplication::setDesktopFileName(QStringLiteral("io.quillbrook.Quillbrook"));
    }
    return *m_app;
}

void DesktopFrontEnd::showStartupError(const QString& text)
{
    app();
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Quillbrook"), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

int DesktopFrontEnd::runWindows()
{
    QApplication& application = app();
    QtDesktop desktop;
    QtPrompts prompts;
    MainController controller(prompts, desktop);
    TTarnMainWin mainWindow(controller);
    prompts.setParentWindow(&mainWindow);
    TAddWin addWin(controller, &mainWindow);
    mainWindow.SetAddWin(&addWin);
    TAboutWin aboutWin(desktop, &mainWindow);
    mainWindow.SetAboutWin(&aboutWin);
    QtPrompts settingsPrompts;
    SettingsForm settingsForm(settingsPrompts,
                              [] { return std::make_unique<NativeSettingsBackend>(); });
    TBraeSettingsWin settingsWin(settingsForm, &mainWindow);
    settingsPrompts.setParentWindow(&settingsWin);
    mainWindow.SetSettingsWin(&settingsWin);
    // Later starts hand their links to this window over the session bus.
    AppActivation activation(
        [&mainWindow](const QStringList& links) { mainWindow.TakeLinks(links); });
    activation.Register();
    // Logout, shutdown and kill end the window as Exit does, the followed users saved.
    SessionEndSignals sessionEnd([&mainWindow] { QApplication::exit(mainWindow.EndSession()); });
    mainWindow.show();
    const QStringList links = commandLineLinks();
    if (!links.isEmpty())
        mainWindow.TakeLinks(links);
    const int code = application.exec();
    if (ThreadRegistry::LiveCount() > 0) {
        // Running threads of ours end with the process: they still use the engine and the
        // controller, so nothing may be torn down under them.
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

QStringList DesktopFrontEnd::commandLineLinks()
{
    return QApplication::arguments().mid(1);
}

bool DesktopFrontEnd::passToRunningCopy()
{
    app();
    const QStringList links = commandLineLinks();
    QString reason;
    if (AppActivation::HandOver(links, &reason) || links.isEmpty())
        return true;
    std::fprintf(stderr,
                 "Quillbrook is already running, or a quillbrook-cli follow or check command "
                 "holds its followed users, and could not be reached (%s); these links were "
                 "not added:\n",
                 qPrintable(reason));
    for (const QString& link : links)
        std::fprintf(stderr, "%s\n", qPrintable(link));
    return false;
}
