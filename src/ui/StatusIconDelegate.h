#pragma once

#include <QIcon>
#include <QStyledItemDelegate>

#include <vector>

// Draws a row's picture from its image index (ListViewModel::ImageIndexRole): the core
// models know numbers, the pictures live here.
class StatusIconDelegate : public QStyledItemDelegate
{
public:
    StatusIconDelegate(std::vector<QIcon> icons, QObject* parent);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    std::vector<QIcon> m_icons;
};
