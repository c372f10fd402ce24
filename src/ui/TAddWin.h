#pragma once

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

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void ApplyLanguageTexts();

    MainController& m_controller;
    std::unique_ptr<LanguageTarget> m_languageTarget;
    QString m_pending;
    bool m_opening = false;
};
