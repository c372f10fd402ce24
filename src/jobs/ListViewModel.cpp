#include "ListViewModel.h"

#include <algorithm>
#include <iterator>
#include <numeric>

ListViewModel::ListViewModel(QStringList headers, bool checkable, QObject* parent)
    : QAbstractTableModel(parent), m_headers(std::move(headers)), m_checkable(checkable)
{
}

int ListViewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_items.size());
}

int ListViewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

QVariant ListViewModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ListItem& it = m_items[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::ToolTipRole:
        if (m_toolTip) {
            const QString tip = m_toolTip(index.row(), index.column());
            if (!tip.isEmpty())
                return tip;
        }
        return text(index.row(), index.column());
    case ProgressRole:
        return it.progress >= 0 ? QVariant(it.progress) : QVariant();
    case IdRole:
        return it.data;
    case ImageIndexRole:
        return index.column() == 0 ? QVariant(it.imageIndex) : QVariant();
    case Qt::CheckStateRole:
        if (m_checkable && index.column() == 0)
            return it.checked ? Qt::Checked : Qt::Unchecked;
        return {};
    default:
        return {};
    }
}

bool ListViewModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || !m_checkable || index.column() != 0 ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const bool checked = value.toInt() == Qt::Checked;
    if (m_items[static_cast<size_t>(index.row())].checked != checked) {
        setChecked(index.row(), checked);
        Q_EMIT checkToggled(index.row(), checked);
    }
    return true;
}

QVariant ListViewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_headers.size())
        return m_headers.at(section);
    return {};
}

Qt::ItemFlags ListViewModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_checkable && index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

void ListViewModel::setHeaders(const QStringList& headers)
{
    Q_ASSERT(headers.size() == m_headers.size());
    m_headers = headers;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, static_cast<int>(m_headers.size()) - 1);
}

int ListViewModel::appendItem(const ListItem& item)
{
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_items.push_back(item);
    if (!m_rowIndexStale && !m_rowOfData.contains(item.data))
        m_rowOfData.insert(item.data, row);
    endInsertRows();
    return row;
}

void ListViewModel::appendItems(std::vector<ListItem> items)
{
    if (items.empty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(items.size()) - 1);
    for (size_t i = 0; i < items.size() && !m_rowIndexStale; ++i) {
        if (!m_rowOfData.contains(items[i].data))
            m_rowOfData.insert(items[i].data, first + static_cast<int>(i));
    }
    m_items.insert(m_items.end(), std::make_move_iterator(items.begin()),
                   std::make_move_iterator(items.end()));
    endInsertRows();
}

void ListViewModel::removeItem(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows({}, row, row);
    m_items.erase(m_items.begin() + row);
    m_rowIndexStale = true;
    endRemoveRows();
}

void ListViewModel::clear()
{
    if (m_items.empty())
        return;
    beginResetModel();
    m_items.clear();
    m_rowOfData.clear();
    m_rowIndexStale = false;
    endResetModel();
}

const ListItem& ListViewModel::item(int row) const
{
    return m_items.at(static_cast<size_t>(row));
}

QString ListViewModel::text(int row, int column) const
{
    const ListItem& it = m_items.at(static_cast<size_t>(row));
    return column == 0 ? it.caption : it.subItems.value(column - 1);
}

void ListViewModel::setText(int row, int column, const QString& text)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    ListItem& it = m_items[static_cast<size_t>(row)];
    if (column == 0) {
        if (it.caption == text)
            return;
        it.caption = text;
    } else {
        while (it.subItems.size() < column)
            it.subItems.append(QString());
        if (it.subItems[column - 1] == text)
            return;
        it.subItems[column - 1] = text;
    }
    const QModelIndex cell = index(row, column);
    Q_EMIT dataChanged(cell, cell, {Qt::DisplayRole, Qt::ToolTipRole});
}

void ListViewModel::setImageIndex(int row, int imageIndex)
{
    if (row < 0 || row >= rowCount() || m_items[static_cast<size_t>(row)].imageIndex == imageIndex)
        return;
    m_items[static_cast<size_t>(row)].imageIndex = imageIndex;
    const QModelIndex cell = index(row, 0);
    Q_EMIT dataChanged(cell, cell, {ImageIndexRole, Qt::DecorationRole});
}

void ListViewModel::setChecked(int row, bool checked)
{
    if (row < 0 || row >= rowCount() || m_items[static_cast<size_t>(row)].checked == checked)
        return;
    m_items[static_cast<size_t>(row)].checked = checked;
    const QModelIndex cell = index(row, 0);
    Q_EMIT dataChanged(cell, cell, {Qt::CheckStateRole});
}

void ListViewModel::setProgress(int row, double fraction, int column)
{
    if (row < 0 || row >= rowCount())
        return;
    const double value = fraction < 0 ? -1.0 : std::min(fraction, 1.0);
    double& stored = m_items[static_cast<size_t>(row)].progress;
    if (stored == value)
        return;
    stored = value;
    if (column >= 0 && column < columnCount())
        Q_EMIT dataChanged(index(row, column), index(row, column), {ProgressRole});
    else
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1), {ProgressRole});
}

int ListViewModel::rowOfData(int data) const
{
    if (m_rowIndexStale) {
        m_rowOfData.clear();
        m_rowOfData.reserve(static_cast<qsizetype>(m_items.size()));
        for (int row = static_cast<int>(m_items.size()) - 1; row >= 0; --row)
            m_rowOfData.insert(m_items[static_cast<size_t>(row)].data, row);
        m_rowIndexStale = false;
    }
    return m_rowOfData.value(data, -1);
}

void ListViewModel::sortRows(const std::function<bool(int rowA, int rowB)>& less)
{
    const int rows = rowCount();
    if (rows < 2)
        return;
    std::vector<int> order(static_cast<size_t>(rows));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), less);
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRow(static_cast<size_t>(rows));
    std::vector<ListItem> sorted;
    sorted.reserve(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        newRow[static_cast<size_t>(order[static_cast<size_t>(i)])] = i;
        sorted.push_back(std::move(m_items[static_cast<size_t>(order[static_cast<size_t>(i)])]));
    }
    m_items.swap(sorted);
    m_rowIndexStale = true;
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& old : from)
        to.append(index(newRow[static_cast<size_t>(old.row())], old.column()));
    changePersistentIndexList(from, to);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
