#include "TAddWin.h"

#include "app/MainController.h"
#include "base/AppSettings.h"
#include "jobs/DownloadListCommands.h"
#include "language/LangStrings.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TAddWin::TAddWin(MainController& controller, QWidget* parent)
    : QDialog(parent), m_controller(controller)
{
    setObjectName(QStringLiteral("TAddWin"));
    setWindowTitle(QStringLiteral("Add Link to Download"));
    resize(560, 280);
    auto* layout = new QVBoxLayout(this);
    Link = new QPlainTextEdit(this);
    Link->setObjectName(QStringLiteral("Link"));
    Link->setLineWrapMode(QPlainTextEdit::NoWrap);
    Link->setPlaceholderText(QStringLiteral("https://soundcloud.com/..."));
    layout->addWidget(Link, 1);

    auto* row = new QHBoxLayout;
    CBoximmediately = new QCheckBox(QStringLiteral("Download immediately"), this);
    CBoximmediately->setObjectName(QStringLiteral("CBoximmediately"));
    ButtOK = new QPushButton(QStringLiteral("OK"), this);
    ButtOK->setObjectName(QStringLiteral("ButtOK"));
    ButtOK->setDefault(true);
    ButtHelp = new QPushButton(QStringLiteral("Help"), this);
    ButtHelp->setObjectName(QStringLiteral("ButtHelp"));
    row->addWidget(CBoximmediately);
    row->addStretch(1);
    row->addWidget(ButtOK);
    row->addWidget(ButtHelp);
    layout->addLayout(row);

    connect(ButtOK, &QPushButton::clicked, this, &TAddWin::ButtOKClick);
    connect(ButtHelp, &QPushButton::clicked, this, &TAddWin::ButtHelpClick);
    // Enter starts a new line in the box; Ctrl+Enter confirms from anywhere in the dialog.
    auto* confirm = new QAction(this);
    confirm->setObjectName(QStringLiteral("ConfirmShortcut"));
    confirm->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    confirm->setShortcutContext(Qt::WindowShortcut);
    addAction(confirm);
    connect(confirm, &QAction::triggered, this, &TAddWin::ButtOKClick);
    m_languageTarget =
        std::make_unique<LanguageTarget>(LANG_ADD_WINDOW, [this] { ApplyLanguageTexts(); });
}

TAddWin::~TAddWin() = default;

int TAddWin::ShowModal(const QString& text)
{
    m_pending = text;
    m_opening = true;
    m_lastBatch = {};
    return exec();
}

void TAddWin::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Filled when opened only: the show event after a restore from minimised keeps what
    // the user typed or pasted.
    if (m_opening) {
        m_opening = false;
        FormShow();
    }
}

void TAddWin::FormShow()
{
    if (AppSettings().LanguageLoaded())
        ApplyLanguage(LANG_ADD_WINDOW);
    Link->clear();
    CBoximmediately->setChecked(true);
    if (!m_pending.isEmpty()) {
        Link->setPlainText(m_pending);
        m_pending.clear();
    }
    Link->setFocus();
}

void TAddWin::ApplyLanguageTexts()
{
    setWindowTitle(Lang("String1_43"));
    ButtOK->setText(Lang("String_6"));
    ButtHelp->setText(Lang("String1_51"));
    CBoximmediately->setText(Lang("String4_1"));
}

void TAddWin::ButtOKClick()
{
    m_lastBatch =
        m_controller.ListCommands().AddLinks(Link->toPlainText(), CBoximmediately->isChecked());
    accept();
}

void TAddWin::ButtHelpClick()
{
    m_controller.OpenOnlineHelp();
}
