#include "ProgressDelegate.h"

#include "jobs/ListViewModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QTextDocument>
#include <QToolTip>

#include <algorithm>

ProgressDelegate::ProgressDelegate(std::vector<QIcon> icons, int progressColumn, QObject* parent)
    : StatusIconDelegate(std::move(icons), parent), m_column(progressColumn)
{
}

void ProgressDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    const QVariant progress = index.data(ListViewModel::ProgressRole);
    if (index.column() != m_column || !progress.isValid()) {
        StatusIconDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();

    // The cell's background and selection, then the bar, then the text over both.
    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    const QRect track = opt.rect.adjusted(2, 2, -2, -2);
    QRect bar = track;
    bar.setWidth(int(track.width() * std::clamp(progress.toDouble(), 0.0, 1.0) + 0.5));
    QColor fill = opt.palette.color(QPalette::Highlight);
    fill.setAlpha(opt.state & QStyle::State_Selected ? 110 : 70);
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->fillRect(bar, fill);
    QColor frame = opt.palette.color(QPalette::Mid);
    painter->setPen(frame);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(track.adjusted(0, 0, -1, -1));
    painter->restore();

    opt.text = text;
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(opt.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                         : QPalette::Text));
    painter->drawText(textRect.adjusted(2, 0, -2, 0), int(opt.displayAlignment),
                      opt.fontMetrics.elidedText(text, opt.textElideMode, textRect.width() - 4));
    painter->restore();
}

bool ProgressDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                 const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (!event || !view || event->type() != QEvent::ToolTip)
        return StatusIconDelegate::helpEvent(event, view, option, index);
    const QString tip = index.data(Qt::ToolTipRole).toString();
    if (tip.isEmpty()) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(event->globalPos(), Qt::convertFromPlainText(tip, Qt::WhiteSpaceNoWrap),
                       view);
    return true;
}
