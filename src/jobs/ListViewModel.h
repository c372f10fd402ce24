#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <QHash>

#include <functional>
#include <vector>

// One row of a report-style list: a caption (first column), sub-items (the other
// columns), an image index, a check state and a hidden integer (a job id, a track index).
// A row of a list that shows the items of one record among several also names that
// record (the followed user a track row belongs to).
struct ListItem
{
    QString caption;
    QStringList subItems;
    int imageIndex = -1;
    int data = 0;
    bool checked = false;
    int owner = 0;
    double progress = -1.0; // how far the row's running task is, 0 to 1; below 0: none
};

// The rows of one of the main window's lists. Lives on the GUI thread; the views show it
// and core code reads and writes rows through it. Headers are set by whoever applies the
// language texts.
class ListViewModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Roles
    {
        IdRole = Qt::UserRole, // the hidden per-row integer
        ImageIndexRole = Qt::UserRole + 1,
        // How far the row's running task is (0 to 1, a double), on every column of the
        // row; no value while none runs. The texts stay as they are; a view may draw it.
        ProgressRole = Qt::UserRole + 2,
    };

    // Gives the tooltip of a cell (row, column) instead of its text; an empty result falls
    // back to the text.
    using ToolTipSource = std::function<QString(int row, int column)>;

    explicit ListViewModel(QStringList headers, bool checkable = false, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void setHeaders(const QStringList& headers);

    // Appends a row and returns its 0-based number.
    int appendItem(const ListItem& item);
    // Appends rows in one insertion, so views update once for all of them.
    void appendItems(std::vector<ListItem> items);
    void removeItem(int row);
    void clear();
    const ListItem& item(int row) const;

    // Column texts: column 0 is the caption, column n the sub-item n-1.
    QString text(int row, int column) const;
    void setText(int row, int column, const QString& text);
    void setImageIndex(int row, int imageIndex);
    void setChecked(int row, bool checked);
    // Below 0 removes the row's progress. Signals only when the value changed: the cell of
    // column (the one that shows it), or the whole row when column is below 0.
    void setProgress(int row, double fraction, int column = -1);

    // 0-based number of the first row whose hidden integer is data, else -1. Kept in an
    // index, so finding a row does not scan the list.
    int rowOfData(int data) const;

    void setToolTipSource(ToolTipSource source) { m_toolTip = std::move(source); }

    // Puts the rows in the order of a stable sort by less (given the rows' current
    // numbers). Selections and other persistent indexes follow their rows.
    void sortRows(const std::function<bool(int rowA, int rowB)>& less);

Q_SIGNALS:
    // The user toggled a row's check box (not emitted for setChecked).
    void checkToggled(int row, bool checked);

private:
    QStringList m_headers;
    bool m_checkable;
    std::vector<ListItem> m_items;
    ToolTipSource m_toolTip;
    // data -> first row with it. Appends keep it current; a removal or a re-ordering marks
    // it stale and the next lookup rebuilds it once.
    mutable QHash<int, int> m_rowOfData;
    mutable bool m_rowIndexStale = false;
};
