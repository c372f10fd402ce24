#include "TAboutWin.h"

#include "base/AppSettings.h"
#include "base/IDesktop.h"
#include "base/ProgramVersion.h"
#include "base/ServiceHosts.h"
#include "language/LangStrings.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TAboutWin::TAboutWin(IDesktop& desktop, QWidget* parent) : QDialog(parent), m_desktop(desktop)
{
    setObjectName(QStringLiteral("AboutWin"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const QIcon icon(QStringLiteral(":/icons/quillbrook.svg"));

    auto* layout = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(icon.pixmap(64, 64));
    auto* titleColumn = new QVBoxLayout;
    Image2 = new QLabel(QStringLiteral("Quillbrook"), this);
    Image2->setObjectName(QStringLiteral("Image2"));
    QFont titleFont = Image2->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    titleFont.setBold(true);
    Image2->setFont(titleFont);
    LabelVer = new QLabel(this);
    LabelVer->setObjectName(QStringLiteral("LabelVer"));
    LabelVer->setTextFormat(Qt::PlainText);
    titleColumn->addWidget(Image2);
    titleColumn->addWidget(LabelVer);
    head->addWidget(Image1);
    head->addSpacing(12);
    head->addLayout(titleColumn, 1);
    layout->addLayout(head);

    GBoxInfo = new QGroupBox(QStringLiteral("Info"), this);
    GBoxInfo->setObjectName(QStringLiteral("GBoxInfo"));
    auto* infoLayout = new QVBoxLayout(GBoxInfo);
    SoftMemo = new QPlainTextEdit(GBoxInfo);
    SoftMemo->setObjectName(QStringLiteral("SoftMemo"));
    SoftMemo->setReadOnly(true);
    SoftMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SoftMemo->setPlainText(QStringLiteral("This is a freeware which downloading audio from ") +
                           Hosts().SoundCloudWeb);
    SoftMemo->setFixedHeight(SoftMemo->fontMetrics().height() * 4 + 12);
    infoLayout->addWidget(SoftMemo);
    layout->addWidget(GBoxInfo);

    auto* buttons = new QHBoxLayout;
    Buttwebsite = new QPushButton(QStringLiteral("Visit website"), this);
    Buttwebsite->setObjectName(QStringLiteral("Buttwebsite"));
    ButtClose = new QPushButton(QStringLiteral("Close"), this);
    ButtClose->setObjectName(QStringLiteral("ButtClose"));
    ButtClose->setDefault(true);
    buttons->addWidget(Buttwebsite);
    buttons->addStretch(1);
    buttons->addWidget(ButtClose);
    layout->addLayout(buttons);
    resize(420, sizeHint().height());

    connect(Buttwebsite, &QPushButton::clicked, this, &TAboutWin::ButtwebsiteClick);
    connect(ButtClose, &QPushButton::clicked, this, &QDialog::accept);
    m_languageTarget =
        std::make_unique<LanguageTarget>(LANG_ABOUT_WINDOW, [this] { ApplyLanguageTexts(); });
}

TAboutWin::~TAboutWin() = default;

int TAboutWin::ShowModal()
{
    FormShow();
    return exec();
}

void TAboutWin::FormShow()
{
    if (AppSettings().LanguageLoaded())
        ApplyLanguage(LANG_ABOUT_WINDOW);
    LabelVer->setText(Lang("String3_3") + QLatin1Char(':') + ProgramVersion());
}

void TAboutWin::ButtwebsiteClick()
{
    m_desktop.openUrl(Hosts().makerPage(QStringLiteral("/")));
}

void TAboutWin::ApplyLanguageTexts()
{
    setWindowTitle(Lang("String1_7"));
    GBoxInfo->setTitle(Lang("String3_4"));
    SoftMemo->setPlainText(Lang("String3_5"));
    Buttwebsite->setText(Lang("String3_6"));
    ButtClose->setText(Lang("String_3"));
}
