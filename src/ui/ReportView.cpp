#include "ReportView.h"

#include "jobs/ListViewModel.h"

#include <QHeaderView>
#include <QTableView>

// A report-style list: whole rows, several at once, read only, no row numbers, headers that
// do not sort, and a selection that stays visible when the list loses focus.
QTableView* reportView(QWidget* parent, const char* name, ListViewModel& model,
                       QItemSelectionModel& selection)
{
    auto* view = new QTableView(parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setModel(&model);
    view->setSelectionModel(&selection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setShowGrid(false);
    view->setWordWrap(false);
    view->setCornerButtonEnabled(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 8);
    view->horizontalHeader()->setSectionsClickable(false);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->horizontalHeader()->setStretchLastSection(true);
    QPalette palette = view->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    view->setPalette(palette);
    return view;
}

void setWidths(QTableView* view, std::initializer_list<int> widths)
{
    int column = 0;
    for (int w : widths) {
        if (w > 0)
            view->setColumnWidth(column, w);
        ++column;
    }
}
