#include "TTarnMainWin.h"

#include "DesktopNotifier.h"
#include "ProgressDelegate.h"
#include "QtStandardTexts.h"
#include "ReportView.h"
#include "StatusIconDelegate.h"
#include "TAboutWin.h"
#include "TAddWin.h"
#include "TBraeSettingsWin.h"
#include "TFollowPanel.h"
#include "WindowMemory.h"
#include "app/MainController.h"
#include "base/AppSettings.h"
#include "jobs/DownloadListCommands.h"
#include "jobs/DownloadRows.h"
#include "jobs/DownloadTotals.h"
#include "jobs/LinkIntake.h"
#include "jobs/ListViewModel.h"
#include "language/LangStrings.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace {

const QString kCaption = QStringLiteral("Quillbrook");

QAction* namedAction(QObject* parent, const char* name, const QString& text)
{
    auto* action = new QAction(text, parent);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

} // namespace

// The icons are compiled into this static library; make sure its resources are registered.
static void initUiResources()
{
    Q_INIT_RESOURCE(resources);
}

TTarnMainWin::TTarnMainWin(MainController& controller, QWidget* parent)
    : QMainWindow(parent), m_controller(controller)
{
    initUiResources();
    setObjectName(QStringLiteral("TTarnMainWin"));
    setWindowTitle(kCaption);
    createMenu();
    createToolBar();
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    splitter->setChildrenCollapsible(false);
    Splitter1 = splitter;
    createDownloadPanel();
    createFollowPanel();
    Splitter1->addWidget(DownloadListPanel);
    Splitter1->addWidget(FollowuserPanel);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    setCentralWidget(Splitter1);
    createStatusBar();
    m_languageTarget =
        std::make_unique<LanguageTarget>(LANG_MAIN_WINDOW, [this] { ApplyLanguageTexts(); });
    m_standardTexts = std::make_unique<QtStandardTexts>();
    connectDialogCommands();
    createShortcuts();
    FormCreate();
}

TTarnMainWin::~TTarnMainWin() = default;

void TTarnMainWin::FormCreate()
{
    // Links dragged from a browser are dropped on the download list.
    DownloadList->setAcceptDrops(true);
    DownloadList->setDragDropMode(QAbstractItemView::DropOnly);
    DownloadList->viewport()->setAcceptDrops(true);
    DownloadList->viewport()->installEventFilter(this);
    // Where the last run left the window (place, size, state, toolbar, grid lines); the
    // first time, the design size, centred, but the window opens maximised.
    if (!WindowMemory::RestoreFrame(*this)) {
        resize(972, 486);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    const QIcon appIcon(QStringLiteral(":/icons/quillbrook.svg"));
    QApplication::setWindowIcon(appIcon);
    setWindowIcon(appIcon);
}

void TTarnMainWin::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TTarnMainWin::FormShow()
{
    ADPanel->hide();
    if (AppSettings().LanguageLoaded())
        ApplyLanguage(LANG_MAIN_WINDOW);
    m_controller.FormShow();
    ButtAbout->setVisible(true);
    ButtHelp->setVisible(true);
    // The followed-users panel starts 500 wide; the download list takes the rest.
    const int total = Splitter1->width() - Splitter1->handleWidth();
    Splitter1->setSizes({std::max(total - 500, total / 3), std::min(500, total * 2 / 3)});
    DownloadList->setItemDelegate(
        new ProgressDelegate({QIcon(QStringLiteral(":/icons/status-0-stopped.svg")),
                              QIcon(QStringLiteral(":/icons/status-1-downloading.svg")),
                              QIcon(QStringLiteral(":/icons/status-2-finished.svg")),
                              QIcon(QStringLiteral(":/icons/status-3-queued.svg"))},
                             TDownloadRows::StatusColumn, DownloadList));
    // The splitters and columns as the last run left them, now that they have their sizes.
    WindowMemory::RestoreLists(*this);
}

void TTarnMainWin::createMenu()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    PMenuBrae_File = bar->addMenu(QStringLiteral("File"));
    PMenuBrae_File->setObjectName(QStringLiteral("PMenuBrae_File"));
    PMenuBraeAdd = namedAction(this, "PMenuBraeAdd", QStringLiteral("Add link to download"));
    PMenuBraeDelete = namedAction(this, "PMenuBraeDelete", QStringLiteral("Delete the downloads"));
    PMenuBraeDownload = namedAction(this, "PMenuBraeDownload", QStringLiteral("Resume Download"));
    PMenuBraeStop = namedAction(this, "PMenuBraeStop", QStringLiteral("Stop"));
    PMenuBraeExit = namedAction(this, "PMenuBraeExit", QStringLiteral("Exit"));
    PMenuBrae_File->addAction(PMenuBraeAdd);
    PMenuBrae_File->addAction(PMenuBraeDelete);
    PMenuBrae_File->addSeparator();
    PMenuBrae_File->addAction(PMenuBraeDownload);
    PMenuBrae_File->addAction(PMenuBraeStop);
    PMenuBrae_File->addSeparator();
    PMenuBrae_File->addAction(PMenuBraeExit);

    PMenuBrae_View = bar->addMenu(QStringLiteral("View"));
    PMenuBrae_View->setObjectName(QStringLiteral("PMenuBrae_View"));
    PMenuBrae_Toolbar = namedAction(this, "PMenuBrae_Toolbar", QStringLiteral("Show Toolbar"));
    PMenuBrae_Toolbar->setCheckable(true);
    PMenuBrae_Toolbar->setChecked(true);
    PMenuBrae_ShowGirdLine =
        namedAction(this, "PMenuBrae_ShowGirdLine", QStringLiteral("Show Gird Line"));
    PMenuBrae_ShowGirdLine->setCheckable(true);
    PMenuBrae_View->addAction(PMenuBrae_Toolbar);
    PMenuBrae_View->addAction(PMenuBrae_ShowGirdLine);

    PMenuBrae_Tool = bar->addMenu(QStringLiteral("Tool"));
    PMenuBrae_Tool->setObjectName(QStringLiteral("PMenuBrae_Tool"));
    PMenuBraeAlwaysOnTop =
        namedAction(this, "PMenuBraeAlwaysOnTop", QStringLiteral("Always On Top"));
    PMenuBraeAlwaysOnTop->setCheckable(true);
    PMenuBraeSettings = namedAction(this, "PMenuBraeSettings", QStringLiteral("Settings"));
    PMenuBrae_Tool->addAction(PMenuBraeAlwaysOnTop);
    PMenuBrae_Tool->addAction(PMenuBraeSettings);
    PMenuBrae_Tool->addSeparator();
    PMenuBrae_MoreTools = PMenuBrae_Tool->addMenu(QStringLiteral("More Tools"));
    PMenuBrae_MoreTools->setObjectName(QStringLiteral("PMenuBrae_MoreTools"));
    PMenuMoreToolsProduct =
        namedAction(this, "PMenuMoreToolsProduct", MainController::MoreToolsCaption());
    PMenuBrae_MoreTools->addAction(PMenuMoreToolsProduct);

    PMenuBrae_Help = bar->addMenu(QStringLiteral("Help"));
    PMenuBrae_Help->setObjectName(QStringLiteral("PMenuBrae_Help"));
    PMenuBraeOnlineHelp = namedAction(this, "PMenuBraeOnlineHelp", QStringLiteral("Online Help"));
    PMenyBraeChecktheupdate =
        namedAction(this, "PMenyBraeChecktheupdate", QStringLiteral("Check for updates"));
    PMenuBraeAbout = namedAction(this, "PMenuBraeAbout", QStringLiteral("About"));
    PMenuBrae_Help->addAction(PMenuBraeOnlineHelp);
    PMenuBrae_Help->addAction(PMenyBraeChecktheupdate);
    PMenuBrae_Help->addAction(PMenuBraeAbout);

    PasteLinks = namedAction(this, "PasteLinks", QString());
    PasteLinks->setShortcut(QKeySequence::Paste);
    PasteLinks->setShortcutContext(Qt::WindowShortcut);
    addAction(PasteLinks);
    connect(PasteLinks, &QAction::triggered, this, &TTarnMainWin::PasteLinksClick);
    connect(PMenuBraeAdd, &QAction::triggered, this, &TTarnMainWin::PMenuBraeAddClick);
    connect(PMenuBraeDelete, &QAction::triggered, this, &TTarnMainWin::PMenuBraeDeleteClick);
    connect(PMenuBraeDownload, &QAction::triggered, this, &TTarnMainWin::PMenuBraeDownloadClick);
    connect(PMenuBraeStop, &QAction::triggered, this, &TTarnMainWin::PMenuBraeStopClick);

    connect(PMenuBraeExit, &QAction::triggered, this, &QWidget::close);
    connect(PMenuBrae_Toolbar, &QAction::triggered, this, &TTarnMainWin::PMenuBrae_ToolbarClick);
    connect(PMenuBrae_ShowGirdLine, &QAction::triggered, this,
            &TTarnMainWin::PMenuBrae_ShowGirdLineClick);
    connect(PMenuBraeAlwaysOnTop, &QAction::triggered, this, &TTarnMainWin::PMenuAlwaysonTopClick);
    connect(PMenuBraeOnlineHelp, &QAction::triggered, this,
            &TTarnMainWin::PMenuBraeOnlineHelpClick);
    connect(PMenuMoreToolsProduct, &QAction::triggered, this, &TTarnMainWin::PMenuMoreToolsClick);
}

void TTarnMainWin::createToolBar()
{
    TBarMain = new QToolBar(this);
    TBarMain->setObjectName(QStringLiteral("TBarMain"));
    TBarMain->setMovable(false);
    TBarMain->setFloatable(false);
    TBarMain->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    TBarMain->setIconSize(QSize(48, 48));
    TBarMain->setStyleSheet(
        QStringLiteral("QToolBar { background: transparent; border-top: 1px solid palette(mid);"
                       " border-bottom: 1px solid palette(mid); spacing: 2px; padding: 2px; }"));
    addToolBar(Qt::TopToolBarArea, TBarMain);

    const auto button = [this](const char* name, const char* icon, const QString& hint) {
        QAction* a = namedAction(this, name, QString());
        a->setIcon(QIcon(QStringLiteral(":/icons/tb-%1.svg").arg(QLatin1String(icon))));
        a->setToolTip(hint);
        TBarMain->addAction(a);
        if (QWidget* w = TBarMain->widgetForAction(a))
            w->setFixedSize(55, 55);
        return a;
    };
    TButAdd = button("TButAdd", "add", QStringLiteral("Add link to download"));
    ButtDelete = button("ButtDelete", "delete", QStringLiteral("Delete the downloads"));
    ButtDownload = button("ButtDownload", "download", QStringLiteral("Resume Download"));
    ButtStop = button("ButtStop", "stop", QStringLiteral("Stop"));
    TButSettings = button("TButSettings", "settings", QStringLiteral("Settings"));
    ButtHelp = button("ButtHelp", "help", QStringLiteral("Online Help"));
    ButtAbout = button("ButtAbout", "about", QStringLiteral("About"));
    TButExit = button("TButExit", "exit", QStringLiteral("Exit"));
    ButtHelp->setVisible(false);
    ButtAbout->setVisible(false);

    connect(TButAdd, &QAction::triggered, this, &TTarnMainWin::PMenuBraeAddClick);
    connect(ButtDelete, &QAction::triggered, this, &TTarnMainWin::PMenuBraeDeleteClick);
    connect(ButtDownload, &QAction::triggered, this, &TTarnMainWin::PMenuBraeDownloadClick);
    connect(ButtStop, &QAction::triggered, this, &TTarnMainWin::PMenuBraeStopClick);
    connect(ButtHelp, &QAction::triggered, this, &TTarnMainWin::PMenuBraeOnlineHelpClick);
    connect(TButExit, &QAction::triggered, this, &QWidget::close);
}

void TTarnMainWin::createDownloadPanel()
{
    DownloadListPanel = new QWidget(Splitter1);
    DownloadListPanel->setObjectName(QStringLiteral("DownloadListPanel"));
    auto* layout = new QVBoxLayout(DownloadListPanel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ADPanel = new QFrame(DownloadListPanel);
    ADPanel->setObjectName(QStringLiteral("ADPanel"));
    ADPanel->setFixedHeight(100);
    layout->addWidget(ADPanel);

    DownloadList = reportView(DownloadListPanel, "DownloadList", m_controller.DownloadList(),
                              m_controller.DownloadSelection());
    setWidths(DownloadList, {100, 80, 220});
    layout->addWidget(DownloadList, 1);

    PopupMenu1 = new QMenu(DownloadList);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    // The toolbar's commands on the selected rows, above the list's own two items.
    PMenuDownload = namedAction(PopupMenu1, "PMenuDownload", QStringLiteral("Resume Download"));
    PMenuStop = namedAction(PopupMenu1, "PMenuStop", QStringLiteral("Stop"));
    PMenuDelete = namedAction(PopupMenu1, "PMenuDelete", QStringLiteral("Delete the downloads"));
    PopupMenu1->addAction(PMenuDownload);
    PopupMenu1->addAction(PMenuStop);
    PopupMenu1->addAction(PMenuDelete);
    PopupMenu1->addSeparator();
    connect(PMenuDownload, &QAction::triggered, this, &TTarnMainWin::PMenuBraeDownloadClick);
    connect(PMenuStop, &QAction::triggered, this, &TTarnMainWin::PMenuBraeStopClick);
    connect(PMenuDelete, &QAction::triggered, this, &TTarnMainWin::PMenuBraeDeleteClick);
    PMenuCopylinks = namedAction(PopupMenu1, "PMenuCopylinks", QStringLiteral("Copy links"));
    PMenuOpencontainedfolder = namedAction(PopupMenu1, "PMenuOpencontainedfolder",
                                           QStringLiteral("Open Containing Folder"));
    PopupMenu1->addAction(PMenuCopylinks);
    PopupMenu1->addAction(PMenuOpencontainedfolder);
    connect(PMenuCopylinks, &QAction::triggered, this, &TTarnMainWin::PMenuCopylinksClick);
    connect(PMenuOpencontainedfolder, &QAction::triggered, this,
            &TTarnMainWin::PMenuOpencontainedfolderClick);
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TTarnMainWin::PopupMenu1Popup);
    DownloadList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DownloadList, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu1->popup(DownloadList->viewport()->mapToGlobal(pos));
    });
    connect(DownloadList, &QAbstractItemView::doubleClicked, this,
            &TTarnMainWin::DownloadListDblClick);
}

void TTarnMainWin::createFollowPanel()
{
    FollowuserPanel = new TFollowPanel(m_controller, Splitter1);
    FollowuserPanel->resize(500, FollowuserPanel->height());
    FollowUserLabel = FollowuserPanel->FollowUserLabel;
    PeopleName = FollowuserPanel->PeopleName;
    ButtAddPeople = FollowuserPanel->ButtAddPeople;
    ButtExplore = FollowuserPanel->ButtExplore;
    ButtOnlineHelp = FollowuserPanel->ButtOnlineHelp;
    ButtDeletePeople = FollowuserPanel->ButtDeletePeople;
    ButtCheck = FollowuserPanel->ButtCheck;
    PeopleList = FollowuserPanel->PeopleList;
    FollowSplitter = FollowuserPanel->FollowSplitter;
    TracksList = FollowuserPanel->TracksList;
    ButtDownloadTrack = FollowuserPanel->ButtDownloadTrack;
}

// The totals of the download list, kept at the right of the status bar (notes of the moment
// go to its left), refreshed with the list's progress; the desktop hears when a run ends.
void TTarnMainWin::createStatusBar()
{
    // Notes come and go on the left (showMessage); the totals stay on the right.
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    DownloadTotalsLabel = new QLabel(statusBar());
    DownloadTotalsLabel->setObjectName(QStringLiteral("DownloadTotalsLabel"));
    statusBar()->addPermanentWidget(DownloadTotalsLabel);
    const auto refresh = [this] {
        DownloadTotalsLabel->setText(m_controller.Totals().Text());
    };
    refresh();
    connect(&m_controller, &MainController::ProgressRefreshed, DownloadTotalsLabel, refresh);
    NotifyDesktop = [](const QString& summary, const QString& body) {
        DesktopNotifier::Notify(summary, body);
    };
    m_controller.Totals().OnBatchEnded = [this](int finished, int failed) {
        if (NotifyDesktop)
            NotifyDesktop(Lang("Msg1_34"), DesktopNotifier::RunEndedText(finished, failed));
    };
}

void TTarnMainWin::ApplyLanguageTexts()
{
    const auto set = [](QAction* a, const char* key) {
        a->setText(Lang(key));
    };
    PMenuBrae_File->setTitle(Lang("String1_48"));
    set(PMenuBraeAdd, "String1_43");
    set(PMenuBraeDelete, "String1_44");
    set(PMenuBraeDownload, "String1_45");
    set(PMenuBraeStop, "String1_46");
    set(PMenuBraeExit, "String1_49");
    PMenuBrae_View->setTitle(Lang("String1_54"));
    set(PMenuBrae_Toolbar, "String1_55");
    set(PMenuBrae_ShowGirdLine, "String1_56");
    PMenuBrae_Tool->setTitle(Lang("String1_50"));
    set(PMenuBraeAlwaysOnTop, "String1_1");
    set(PMenuBraeSettings, "String1_2");
    PMenuBrae_MoreTools->setTitle(Lang("String1_47"));
    PMenuBrae_Help->setTitle(Lang("String1_51"));
    set(PMenuBraeOnlineHelp, "String1_3");
    set(PMenyBraeChecktheupdate, "String1_4");
    set(PMenuBraeAbout, "String1_7");

    const auto hint = [](QAction* a, const char* key) {
        a->setToolTip(Lang(key));
    };
    hint(TButAdd, "String1_43");
    hint(ButtDelete, "String1_44");
    hint(ButtDownload, "String1_45");
    hint(ButtStop, "String1_46");
    hint(TButSettings, "String1_2");
    hint(ButtHelp, "String1_3");
    hint(ButtAbout, "String1_7");
    hint(TButExit, "String1_49");

    set(PMenuDownload, "String1_45");
    set(PMenuStop, "String1_46");
    set(PMenuDelete, "String1_44");
    set(PMenuCopylinks, "String1_23");
    set(PMenuOpencontainedfolder, "String1_24");

    FollowuserPanel->ApplyLanguageTexts();

    m_controller.ApplyListHeaders();
    m_standardTexts->Follow(AppSettings().LanguageFilePath());
    Q_EMIT LanguageApplied();
}

void TTarnMainWin::closeEvent(QCloseEvent* event)
{
    if (m_sessionEnded) {
        QMainWindow::closeEvent(event);
        return;
    }
    // The layout first: a failure to save it may still keep the window open.
    const QString layoutError = WindowMemory::Save(*this);
    if (!layoutError.isEmpty() && !m_controller.CloseAfterFailedSave(layoutError)) {
        event->ignore();
        return;
    }
    if (!m_controller.FormCloseQuery()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

int TTarnMainWin::EndSession()
{
    if (m_sessionEnded)
        return 0;
    m_sessionEnded = true;
    int code = 0;
    for (const QString& error : {WindowMemory::Save(*this), m_controller.EndSession()}) {
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            code = 1;
        }
    }
    close();
    return code;
}

// The drop target of the download list: a link as a URL list or as plain text.
bool TTarnMainWin::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != DownloadList->viewport())
        return QMainWindow::eventFilter(watched, event);
    const auto accepts = [](const QMimeData* data) {
        return data && (data->hasUrls() || data->hasText());
    };
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (accepts(drag->mimeData())) {
            drag->setDropAction(drag->proposedAction() == Qt::LinkAction ? Qt::LinkAction
                                                                         : Qt::CopyAction);
            drag->accept();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QMimeData* data = drop->mimeData();
        if (!accepts(data))
            return true;
        const QStringList texts =
            DroppedLinkTexts(data->data(QStringLiteral("text/uri-list")), data->text());
        drop->acceptProposedAction();
        m_controller.ListCommands().DropURLTarget1Drop(texts);
        return true;
    }
    default:
        return QMainWindow::eventFilter(watched, event);
    }
}

void TTarnMainWin::PMenuBraeAddClick()
{
    if (m_addWin && m_addWin->ShowModal() == QDialog::Accepted)
        showSkippedLines(m_addWin->LastBatch().skippedLines);
}

void TTarnMainWin::PasteLinksClick()
{
    if (m_addWin && m_addWin->ShowModal(QApplication::clipboard()->text()) == QDialog::Accepted)
        showSkippedLines(m_addWin->LastBatch().skippedLines);
}

void TTarnMainWin::PMenuBraeDownloadClick()
{
    m_controller.ListCommands().PMenuBraeDownloadClick();
}

void TTarnMainWin::PMenuBraeStopClick()
{
    m_controller.ListCommands().PMenuBraeStopClick();
}

void TTarnMainWin::PMenuBraeDeleteClick()
{
    if (m_controller.ListCommands().PMenuBraeDeleteClick() > 0)
        ShowNote(Lang("Msg1_32"));
}

void TTarnMainWin::DownloadListDblClick()
{
    m_controller.ListCommands().DownloadListDblClick();
}

void TTarnMainWin::PMenuCopylinksClick()
{
    m_controller.ListCommands().PMenuCopylinksClick();
}

void TTarnMainWin::PMenuOpencontainedfolderClick()
{
    m_controller.ListCommands().PMenuOpencontainedfolderClick();
}

void TTarnMainWin::PopupMenu1Popup()
{
    const bool enabled = m_controller.ListCommands().PopupMenu1Popup();
    for (QAction* a :
         {PMenuDownload, PMenuStop, PMenuDelete, PMenuCopylinks, PMenuOpencontainedfolder})
        a->setEnabled(enabled);
}

// The toolbar's Download, Stop and Delete act on the selected rows: usable only while there
// are some.
void TTarnMainWin::updateSelectionActions()
{
    const bool enabled = m_controller.ListCommands().PopupMenu1Popup();
    for (QAction* a : {ButtDownload, ButtStop, ButtDelete})
        a->setEnabled(enabled);
}

void TTarnMainWin::PMenuAlwaysonTopClick()
{
    m_alwaysOnTop = !m_alwaysOnTop;
    PMenuBraeAlwaysOnTop->setChecked(m_alwaysOnTop);
    // Changing the flag re-creates the native window: keep its place, size and state.
    const Qt::WindowStates state = windowState();
    const QRect geometry = normalGeometry();
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, m_alwaysOnTop);
    setGeometry(geometry);
    setWindowState(state);
    if (visible)
        show();
    setWindowTitle(m_alwaysOnTop ? QStringLiteral("Quillbrook - Top") : kCaption);
}

void TTarnMainWin::PMenuBrae_ToolbarClick()
{
    TBarMain->setVisible(PMenuBrae_Toolbar->isChecked());
}

void TTarnMainWin::PMenuBrae_ShowGirdLineClick()
{
    const bool on = PMenuBrae_ShowGirdLine->isChecked();
    for (QTableView* view : {DownloadList, PeopleList, TracksList})
        view->setShowGrid(on);
}

void TTarnMainWin::PMenuBraeOnlineHelpClick()
{
    m_controller.OpenOnlineHelp();
}

void TTarnMainWin::PMenuMoreToolsClick()
{
    m_controller.OpenMoreTools();
}

void TTarnMainWin::connectDialogCommands()
{
    connect(PMenuBraeSettings, &QAction::triggered, this, &TTarnMainWin::PMenuBraeSettingsClick);
    connect(TButSettings, &QAction::triggered, this, &TTarnMainWin::PMenuBraeSettingsClick);
    connect(PMenuBraeAbout, &QAction::triggered, this, &TTarnMainWin::PMenuBraeAboutClick);
    connect(ButtAbout, &QAction::triggered, this, &TTarnMainWin::PMenuBraeAboutClick);
    connect(PMenyBraeChecktheupdate, &QAction::triggered, this,
            &TTarnMainWin::PMenyBraeChecktheupdateClick);
}

void TTarnMainWin::PMenuBraeSettingsClick()
{
    if (m_settingsWin)
        m_settingsWin->ShowModal();
}

void TTarnMainWin::PMenuBraeAboutClick()
{
    if (m_aboutWin)
        m_aboutWin->ShowModal();
}

void TTarnMainWin::PMenyBraeChecktheupdateClick()
{
    m_controller.CheckForUpdates();
}

void TTarnMainWin::ShowNote(const QString& text)
{
    statusBar()->showMessage(text, 10000);
}

void TTarnMainWin::showSkippedLines(int skippedLines)
{
    if (skippedLines > 0)
        ShowNote(TDownloadListCommands::SkippedLinesNote(skippedLines));
}

void TTarnMainWin::createShortcuts()
{
    PMenuBraeAdd->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    PMenuBraeExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    PMenuBraeOnlineHelp->setShortcut(QKeySequence(Qt::Key_F1));
    // Del and Enter belong to the download list: in the followed-users panel they must not
    // delete or start downloads.
    PMenuBraeDelete->setShortcut(QKeySequence(Qt::Key_Delete));
    PMenuBraeDelete->setShortcutContext(Qt::WidgetShortcut);
    DownloadList->addAction(PMenuBraeDelete);
    DownloadListEnter = namedAction(DownloadList, "DownloadListEnter", QString());
    DownloadListEnter->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    DownloadListEnter->setShortcutContext(Qt::WidgetShortcut);
    DownloadList->addAction(DownloadListEnter);
    connect(DownloadListEnter, &QAction::triggered, this, &TTarnMainWin::DownloadListDblClick);

    QItemSelectionModel& selection = m_controller.DownloadSelection();
    connect(&selection, &QItemSelectionModel::selectionChanged, this,
            &TTarnMainWin::updateSelectionActions);
    connect(&selection, &QItemSelectionModel::modelChanged, this,
            &TTarnMainWin::updateSelectionActions);
    QAbstractItemModel* model = DownloadList->model();
    connect(model, &QAbstractItemModel::rowsRemoved, this, &TTarnMainWin::updateSelectionActions);
    connect(model, &QAbstractItemModel::modelReset, this, &TTarnMainWin::updateSelectionActions);
    updateSelectionActions();
}

void TTarnMainWin::BringToFront()
{
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void TTarnMainWin::TakeLinks(const QStringList& links)
{
    BringToFront();
    if (links.isEmpty())
        return;
    const TLinkBatch batch =
        m_controller.ListCommands().AddLinks(links.join(QLatin1Char('\n')), true);
    showSkippedLines(batch.skippedLines);
}
