#pragma once

#include "FakeDesktop.h"
#include "FollowTestData.h"

#include "base/TMessageQueue.h"
#include "follow/TFollowCommands.h"
#include "follow/TFollowView.h"
#include "follow/TFollowedPeople.h"
#include "follow/TFollowing.h"
#include "follow/TPeopleFile.h"
#include "jobs/ListViewModel.h"
#include "worker/DownloadEngine.h"
#include "worker/WorkerContext.h"

#include <QItemSelectionModel>
#include <QTemporaryDir>

#include <initializer_list>

// Following users wired as the window wires it, without widgets: the two list models with
// their selection models, the download engine, prompts and desktop that record.
struct TFollowRig
{
    QTemporaryDir dir;
    TMessageQueue gui;
    ListViewModel downloads{{"File", "Size", "Status", "URL"}};
    ListViewModel people{{"Auto Check", "Name", "Tracks", "Downloads", "Last check time"}, true};
    ListViewModel tracks{{"ID", "Title", "Duration", "Size", "Created at", "Downloaded at"}};
    QItemSelectionModel peopleSelection{&people};
    QItemSelectionModel tracksSelection{&tracks};
    TDownloadEngine engine{downloads, gui};
    FakePrompts prompts;
    FakeDesktop desktop;
    TFollowing following{
        people,          peopleSelection, tracks,
        tracksSelection, engine.Intake(), engine.Workers(),
        prompts,         desktop,         dir.filePath(QStringLiteral("data/followuser.xml"))};

    TFollowedPeople& Store() { return following.FollowedPeople(); }
    TFollowView& View() { return following.View(); }
    TFollowCommands& Commands() { return following.Commands(); }

    static void Select(QItemSelectionModel& selection, std::initializer_list<int> rows)
    {
        selection.clearSelection();
        for (int row : rows)
            selection.select(selection.model()->index(row, 0),
                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    void SelectPeople(std::initializer_list<int> rows) { Select(peopleSelection, rows); }
    void SelectTracks(std::initializer_list<int> rows) { Select(tracksSelection, rows); }

    QStringList Column(const ListViewModel& list, int column) const
    {
        QStringList out;
        for (int row = 0; row < list.rowCount(); ++row)
            out.append(list.text(row, column));
        return out;
    }
};
