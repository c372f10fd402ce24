#pragma once

#include "jobs/DownloadListCommands.h"

#include <QDialog>

#include <memory>

class LanguageTarget;
class MainController;
class QCheckBox;
class QPlainTextEdit;
class QPushButton;

// The add-links dialog: one link a line, "Download immediately", OK and Help.
class TAddWin : public QDialog
{
    Q_OBJECT

public:
    explicit TAddWin(MainController& controller, QWidget* parent = nullptr);
    ~TAddWin() override;

    // Shows the dialog modally; text, when given, is put into the box once it is shown.
    int ShowModal(const QString& text = {});

    QPlainTextEdit* Link = nullptr;
    QCheckBox* CBoximmediately = nullptr;
    QPushButton* ButtOK = nullptr;
    QPushButton* ButtHelp = nullptr;

    void ButtOKClick();
    void ButtHelpClick();

    // What the last OK came to (nothing when the dialog was closed without OK).
    const TLinkBatch& LastBatch() const { return m_lastBatch; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void ApplyLanguageTexts();

    MainController& m_controller;
    std::unique_ptr<LanguageTarget> m_languageTarget;
    QString m_pending;
    TLinkBatch m_lastBatch;
    bool m_opening = false;
};
