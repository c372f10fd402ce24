#include "TFollowPanel.h"

#include "ReportView.h"
#include "app/MainController.h"
#include "base/ServiceHosts.h"
#include "follow/TFollowCommands.h"
#include "follow/TFollowView.h"
#include "follow/TFollowing.h"
#include "jobs/ListViewModel.h"
#include "language/LangStrings.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

TFollowPanel::TFollowPanel(MainController& controller, QWidget* parent)
    : QWidget(parent), m_controller(controller), m_following(controller.Following())
{
    setObjectName(QStringLiteral("FollowuserPanel"));
    setMinimumWidth(300);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    auto* toolRow = new QHBoxLayout;
    toolRow->setSpacing(4);
    FollowUserLabel = new QLabel(QStringLiteral("User"), this);
    FollowUserLabel->setObjectName(QStringLiteral("FollowUserLabel"));
    PeopleName = new QLineEdit(this);
    PeopleName->setObjectName(QStringLiteral("PeopleName"));
    const auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    ButtAddPeople = button("ButtAddPeople", QStringLiteral("Add"));
    ButtExplore = button("ButtExplore", QStringLiteral("Explore"));
    ButtOnlineHelp = new QToolButton(this);
    ButtOnlineHelp->setObjectName(QStringLiteral("ButtOnlineHelp"));
    ButtOnlineHelp->setText(QStringLiteral("?"));
    ButtOnlineHelp->setToolTip(QStringLiteral("How to follow soundcloud user"));
    ButtDeletePeople = button("ButtDeletePeople", QStringLiteral("delete"));
    ButtCheck = button("ButtCheck", QStringLiteral("Check"));
    toolRow->addWidget(FollowUserLabel);
    toolRow->addWidget(PeopleName, 1);
    toolRow->addWidget(ButtAddPeople);
    toolRow->addWidget(ButtExplore);
    toolRow->addWidget(ButtOnlineHelp);
    toolRow->addWidget(ButtDeletePeople);
    toolRow->addWidget(ButtCheck);
    layout->addLayout(toolRow);

    FollowSplitter = new QSplitter(Qt::Vertical, this);
    FollowSplitter->setObjectName(QStringLiteral("FollowSplitter"));
    FollowSplitter->setChildrenCollapsible(false);
    PeopleList = reportView(FollowSplitter, "PeopleList", controller.PeopleList(),
                            controller.PeopleSelection());
    setWidths(PeopleList, {70, 120, 60, 70, 120});
    TracksList = reportView(FollowSplitter, "TracksList", controller.TracksList(),
                            controller.TracksSelection());
    setWidths(TracksList, {0, 0, 80, 80, 130, 120});
    // Only the track list sorts, and only by our own compare: the view never sorts.
    TracksList->horizontalHeader()->setSectionsClickable(true);
    TracksList->horizontalHeader()->setSortIndicatorShown(false);
    FollowSplitter->addWidget(PeopleList);
    FollowSplitter->addWidget(TracksList);
    layout->addWidget(FollowSplitter, 1);

    ButtDownloadTrack = button("ButtDownloadTrack", QStringLiteral("Download"));
    layout->addWidget(ButtDownloadTrack, 0, Qt::AlignLeft);

    createPopups();

    // Checking users arrives with the track listing; until then Check stays disabled.
    ButtCheck->setEnabled(false);
    ButtDeletePeople->setEnabled(false);
    connect(ButtAddPeople, &QPushButton::clicked, this, &TFollowPanel::ButtAddPeopleClick);
    connect(PeopleName, &QLineEdit::returnPressed, this, &TFollowPanel::ButtAddPeopleClick);
    connect(ButtDeletePeople, &QPushButton::clicked, this, &TFollowPanel::ButtDeletePeopleClick);
    connect(ButtDownloadTrack, &QPushButton::clicked, this, &TFollowPanel::ButtDownloadTrackClick);
    connect(ButtExplore, &QPushButton::clicked, this, &TFollowPanel::ButtExploreClick);
    connect(ButtOnlineHelp, &QToolButton::clicked, this, &TFollowPanel::ButtOnlineHelpClick);
    connect(&controller.PeopleSelection(), &QItemSelectionModel::selectionChanged, this,
            &TFollowPanel::PeopleListSelectItem);
    connect(&controller.TracksSelection(), &QItemSelectionModel::selectionChanged, this,
            &TFollowPanel::TracksListSelectItem);
    // Rows removed or rebuilt change the selection without a selectionChanged signal.
    connect(&controller.PeopleList(), &QAbstractItemModel::rowsRemoved, this,
            &TFollowPanel::PeopleListSelectItem);
    connect(&controller.TracksList(), &QAbstractItemModel::modelReset, this,
            &TFollowPanel::TracksListSelectItem);
    connect(TracksList->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &TFollowPanel::TracksListColumnClick);
    TracksListSelectItem();
}

void TFollowPanel::createPopups()
{
    const auto item = [](QMenu* menu, const char* name, const QString& text) {
        auto* a = new QAction(text, menu);
        a->setObjectName(QString::fromLatin1(name));
        menu->addAction(a);
        return a;
    };
    PMPeopleList = new QMenu(PeopleList);
    PMPeopleList->setObjectName(QStringLiteral("PMPeopleList"));
    PMOpenuserLink = item(PMPeopleList, "PMOpenuserLink",
                          QStringLiteral("Open the user link of ") + Hosts().SoundCloudWeb);
    PMTracksList = new QMenu(TracksList);
    PMTracksList->setObjectName(QStringLiteral("PMTracksList"));
    PMCopyTrackInfo =
        item(PMTracksList, "PMCopyTrackInfo", QStringLiteral("Copy Track Information"));
    PMOpenTrackLink = item(PMTracksList, "PMOpenTrackLink",
                           QStringLiteral("Open the track link of ") + Hosts().SoundCloudWeb);
    PMTrackListOpenfolder =
        item(PMTracksList, "PMTrackListOpenfolder", QStringLiteral("Open Containing Folder"));
    connect(PMOpenuserLink, &QAction::triggered, this, &TFollowPanel::PMOpenuserLinkClick);
    connect(PMCopyTrackInfo, &QAction::triggered, this, &TFollowPanel::PMCopyTrackInfoClick);
    connect(PMOpenTrackLink, &QAction::triggered, this, &TFollowPanel::PMOpenTrackLinkClick);
    connect(PMTrackListOpenfolder, &QAction::triggered, this,
            &TFollowPanel::PMTrackListOpenfolderClick);
    for (auto [view, menu] : {std::pair{PeopleList, PMPeopleList}, {TracksList, PMTracksList}}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [view, menu](const QPoint& pos) {
            menu->popup(view->viewport()->mapToGlobal(pos));
        });
    }
}

void TFollowPanel::ApplyLanguageTexts()
{
    FollowUserLabel->setText(Lang("String1_25"));
    ButtAddPeople->setText(Lang("String1_26"));
    ButtExplore->setText(Lang("String1_27"));
    ButtOnlineHelp->setToolTip(Lang("String1_28"));
    ButtDeletePeople->setText(Lang("String1_29"));
    ButtCheck->setText(Lang("String1_30"));
    ButtDownloadTrack->setText(Lang("String1_42"));
    PMOpenuserLink->setText(Lang("String1_52"));
    PMCopyTrackInfo->setText(Lang("String1_57"));
    PMOpenTrackLink->setText(Lang("String1_53"));
    PMTrackListOpenfolder->setText(Lang("String1_24"));
}

void TFollowPanel::ButtAddPeopleClick()
{
    m_following.Commands().ButtAddPeopleClick(PeopleName->text());
}

void TFollowPanel::ButtDeletePeopleClick()
{
    m_following.Commands().ButtDeletePeopleClick();
}

void TFollowPanel::ButtDownloadTrackClick()
{
    m_following.Commands().ButtDownloadTrackClick();
}

void TFollowPanel::ButtExploreClick()
{
    m_controller.OpenExplore();
}

void TFollowPanel::ButtOnlineHelpClick()
{
    m_controller.OpenFollowHelp();
}

void TFollowPanel::PeopleListSelectItem()
{
    ButtDeletePeople->setEnabled(m_following.View().PeopleCommandsEnabled());
}

void TFollowPanel::TracksListSelectItem()
{
    PMTrackListOpenfolder->setEnabled(m_following.View().OpenFolderEnabled());
}

void TFollowPanel::TracksListColumnClick(int column)
{
    m_following.View().TracksListColumnClick(column);
}

void TFollowPanel::PMOpenuserLinkClick()
{
    m_following.Commands().PMOpenuserLinkClick();
}

void TFollowPanel::PMCopyTrackInfoClick()
{
    m_following.Commands().PMCopyTrackInfoClick();
}

void TFollowPanel::PMOpenTrackLinkClick()
{
    m_following.Commands().PMOpenTrackLinkClick();
}

void TFollowPanel::PMTrackListOpenfolderClick()
{
    m_following.Commands().PMTrackListOpenfolderClick();
}
