#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class LanguageTarget;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class SettingsForm;

// The settings dialog: save folder, language and the followed-user download options. It
// shows and forwards; SettingsForm decides.
class TBraeSettingsWin : public QDialog
{
    Q_OBJECT

public:
    TBraeSettingsWin(SettingsForm& form, QWidget* parent = nullptr);
    ~TBraeSettingsWin() override;

    // Fills the controls from the settings and shows the dialog modally.
    int ShowModal();

    // The folder chooser (owner, title, start folder); returns the chosen folder or an empty
    // string. The desktop's folder dialog unless replaced (tests).
    std::function<QString(QWidget*, const QString&, const QString&)> BrowseFolder;

    QLabel* LabelSavetoFolder = nullptr;
    QLineEdit* SaveToFolder = nullptr;
    QPushButton* ButtSelect = nullptr;
    QGroupBox* GBoxlanguage = nullptr;
    QComboBox* LngList = nullptr;
    QCheckBox* CBoxDownloadAllSoundFiles = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* DownloadTrackLabel = nullptr;
    QSpinBox* latesttrackcount = nullptr;
    QPushButton* ButtOK = nullptr;
    QPushButton* ButtCancel = nullptr;

    void FormShow();
    void CBoxDownloadAllSoundFilesClick();
    void ButtSelectClick();
    void ButtOKClick();
    void ButtCancelClick();

private:
    void ApplyLanguageTexts();

    SettingsForm& m_form;
    std::unique_ptr<LanguageTarget> m_languageTarget;
};
