#pragma once

class ListViewModel;
class QItemSelectionModel;
class QTableView;
class QWidget;

#include <initializer_list>

// A report-style list: whole rows, several at once, read only, no row numbers, headers that
// do not sort, and a selection that stays visible when the list loses focus.
QTableView* reportView(QWidget* parent, const char* name, ListViewModel& model,
                       QItemSelectionModel& selection);

// Column widths in pixels; 0 keeps a column's default width.
void setWidths(QTableView* view, std::initializer_list<int> widths);
