#pragma once

#include <QDialog>

#include <memory>

class IDesktop;
class LanguageTarget;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The about box: the program's pictures, its version, a few words about it, a link to its
// web site and Close.
class TAboutWin : public QDialog
{
    Q_OBJECT

public:
    TAboutWin(IDesktop& desktop, QWidget* parent = nullptr);
    ~TAboutWin() override;

    int ShowModal();

    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* LabelVer = nullptr;
    QGroupBox* GBoxInfo = nullptr;
    QPlainTextEdit* SoftMemo = nullptr;
    QPushButton* Buttwebsite = nullptr;
    QPushButton* ButtClose = nullptr;

    void FormShow();
    void ButtwebsiteClick();

private:
    void ApplyLanguageTexts();

    IDesktop& m_desktop;
    std::unique_ptr<LanguageTarget> m_languageTarget;
};
