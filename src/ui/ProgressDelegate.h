#pragma once

#include "StatusIconDelegate.h"

// The download list's cells: the status pictures, and in one column a progress bar drawn
// behind the cell's text from the row's ListViewModel::ProgressRole. Tooltips are shown as
// the plain text they are: a name from a page is never taken for markup.
class ProgressDelegate : public StatusIconDelegate
{
public:
    ProgressDelegate(std::vector<QIcon> icons, int progressColumn, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    int m_column;
};
