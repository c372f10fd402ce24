#pragma once

#include "app/Startup.h"

#include <QStringList>

#include <memory>

class QApplication;

// The desktop side of start-up: owns the GUI application, shows the start-up error and
// creates and runs the windows.
class DesktopFrontEnd final : public IStartupFrontEnd
{
public:
    DesktopFrontEnd(int& argc, char** argv);
    ~DesktopFrontEnd() override;

    void showStartupError(const QString& text) override;
    int runWindows() override;
    bool passToRunningCopy() override;

private:
    QApplication& app();
    // The links the program was started with: its arguments after the toolkit took its own.
    QStringList commandLineLinks();

    int& m_argc;
    char** m_argv;
    std::unique_ptr<QApplication> m_app;
};
