#include "DesktopFrontEnd.h"

#include "DesktopServices.h"
#include "TTarnMainWin.h"
#include "app/MainController.h"

#include <QApplication>
#include <QMessageBox>

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
    QMessageBox::warning(nullptr, QStringLiteral("Quillbrook"), text);
}

int DesktopFrontEnd::runWindows()
{
    QApplication& application = app();
    QtDesktop desktop;
    MainController controller(desktop);
    TTarnMainWin mainWindow(controller);
    mainWindow.show();
    return application.exec();
}
