#include "StatusIconDelegate.h"

#include "jobs/ListViewModel.h"

StatusIconDelegate::StatusIconDelegate(std::vector<QIcon> icons, QObject* parent)
    : QStyledItemDelegate(parent), m_icons(std::move(icons))
{
}

void StatusIconDelegate::initStyleOption(QStyleOptionViewItem* option,
                                         const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant image = index.data(ListViewModel::ImageIndexRole);
    if (!image.isValid())
        return;
    const int i = image.toInt();
    if (i < 0 || i >= static_cast<int>(m_icons.size()))
        return;
    option->icon = m_icons[static_cast<size_t>(i)];
    option->features |= QStyleOptionViewItem::HasDecoration;
    option->decorationSize = QSize(16, 16);
}
