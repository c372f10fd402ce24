#include "TBraeSettingsWin.h"

#include "app/SettingsForm.h"
#include "base/AppSettings.h"
#include "language/LangStrings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
template <class T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}
} // namespace

TBraeSettingsWin::TBraeSettingsWin(SettingsForm& form, QWidget* parent)
    : QDialog(parent), m_form(form)
{
    setObjectName(QStringLiteral("BraeSettingsWin"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    BrowseFolder = [](QWidget* owner, const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
    };

    auto* layout = new QVBoxLayout(this);
    LabelSavetoFolder =
        named(new QLabel(QStringLiteral("Save Media Files to Folder:"), this), "LabelSavetoFolder");
    SaveToFolder = named(new QLineEdit(this), "SaveToFolder");
    SaveToFolder->setMinimumWidth(360);
    ButtSelect = named(new QPushButton(QStringLiteral("Select"), this), "ButtSelect");
    LabelSavetoFolder->setBuddy(SaveToFolder);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(SaveToFolder, 1);
    folderRow->addWidget(ButtSelect);
    layout->addWidget(LabelSavetoFolder);
    layout->addLayout(folderRow);

    GBoxlanguage = named(new QGroupBox(QStringLiteral("Language"), this), "GBoxlanguage");
    auto* languageLayout = new QVBoxLayout(GBoxlanguage);
    LngList = named(new QComboBox(GBoxlanguage), "LngList");
    languageLayout->addWidget(LngList);
    layout->addWidget(GBoxlanguage);

    GroupBox1 = named(new QGroupBox(this), "GroupBox1");
    auto* followLayout = new QGridLayout(GroupBox1);
    CBoxDownloadAllSoundFiles = named(
        new QCheckBox(QStringLiteral("Download all sound files of not downloaded"), GroupBox1),
        "CBoxDownloadAllSoundFiles");
    DownloadTrackLabel = named(new QLabel(QStringLiteral("Download the latest tracks"), GroupBox1),
                               "DownloadTrackLabel");
    latesttrackcount = named(new QSpinBox(GroupBox1), "latesttrackcount");
    latesttrackcount->setRange(SettingsForm::kMinTrackCount, SettingsForm::kMaxTrackCount);
    latesttrackcount->setValue(5);
    DownloadTrackLabel->setBuddy(latesttrackcount);
    followLayout->addWidget(CBoxDownloadAllSoundFiles, 0, 0, 1, 2);
    followLayout->addWidget(DownloadTrackLabel, 1, 0);
    followLayout->addWidget(latesttrackcount, 1, 1, Qt::AlignLeft);
    followLayout->setColumnStretch(1, 1);
    layout->addWidget(GroupBox1);

    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    ButtOK = named(new QPushButton(QStringLiteral("OK"), this), "ButtOK");
    ButtOK->setDefault(true);
    ButtCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "ButtCancel");
    buttons->addStretch(1);
    buttons->addWidget(ButtOK);
    buttons->addWidget(ButtCancel);
    layout->addLayout(buttons);

    connect(CBoxDownloadAllSoundFiles, &QCheckBox::toggled, this,
            &TBraeSettingsWin::CBoxDownloadAllSoundFilesClick);
    connect(ButtSelect, &QPushButton::clicked, this, &TBraeSettingsWin::ButtSelectClick);
    connect(ButtOK, &QPushButton::clicked, this, &TBraeSettingsWin::ButtOKClick);
    connect(ButtCancel, &QPushButton::clicked, this, &TBraeSettingsWin::ButtCancelClick);
    m_languageTarget =
        std::make_unique<LanguageTarget>(LANG_SETTINGS_WINDOW, [this] { ApplyLanguageTexts(); });
}

TBraeSettingsWin::~TBraeSettingsWin() = default;

int TBraeSettingsWin::ShowModal()
{
    // Filled when opened, not on every show event: a restore after minimising keeps what
    // the user typed.
    FormShow();
    return exec();
}

void TBraeSettingsWin::FormShow()
{
    if (AppSettings().LanguageLoaded())
        ApplyLanguage(LANG_SETTINGS_WINDOW);
    m_form.FormShow();
    SaveToFolder->setText(m_form.SaveToFolder);
    CBoxDownloadAllSoundFiles->setChecked(m_form.DownloadAllSoundFiles);
    latesttrackcount->setValue(m_form.LatestTrackCount);
    latesttrackcount->setEnabled(m_form.LatestTrackCountEnabled());
    LngList->clear();
    for (const TLanguageChoice& choice : m_form.Languages)
        LngList->addItem(choice.displayName, choice.fileName);
    LngList->setCurrentIndex(m_form.LanguageIndex);
    SaveToFolder->setFocus();
}

void TBraeSettingsWin::CBoxDownloadAllSoundFilesClick()
{
    latesttrackcount->setEnabled(!CBoxDownloadAllSoundFiles->isChecked());
}

void TBraeSettingsWin::ButtSelectClick()
{
    m_form.SaveToFolder = SaveToFolder->text();
    const QString chosen =
        BrowseFolder(this, QStringLiteral("Save to Folder"), m_form.BrowseStartFolder());
    if (!chosen.isEmpty())
        SaveToFolder->setText(SettingsForm::ChosenFolderText(chosen));
}

void TBraeSettingsWin::ButtOKClick()
{
    m_form.SaveToFolder = SaveToFolder->text();
    m_form.DownloadAllSoundFiles = CBoxDownloadAllSoundFiles->isChecked();
    m_form.LatestTrackCount = latesttrackcount->value();
    m_form.LanguageIndex = LngList->currentIndex();
    switch (m_form.ButtOKClick()) {
    case SettingsForm::TOkResult::Close:
        accept();
        break;
    case SettingsForm::TOkResult::FocusFolder:
        SaveToFolder->setFocus();
        break;
    case SettingsForm::TOkResult::Stay:
        break;
    }
}

void TBraeSettingsWin::ButtCancelClick()
{
    reject();
}

void TBraeSettingsWin::ApplyLanguageTexts()
{
    setWindowTitle(Lang("String1_2"));
    LabelSavetoFolder->setText(Lang("String2_1"));
    ButtSelect->setText(Lang("String_4"));
    GBoxlanguage->setTitle(Lang("String2_2"));
    CBoxDownloadAllSoundFiles->setText(Lang("String2_5"));
    DownloadTrackLabel->setText(Lang("String2_4"));
    ButtOK->setText(Lang("String_6"));
    ButtCancel->setText(Lang("String_2"));
}
