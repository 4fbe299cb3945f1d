// A report list whose rows keep their own copy of every cell and a free value,
// sorted by a click on a column header and drawn over a tiled picture.
#pragma once

#include "SortHeaderCtrl.h"

#include <QPixmap>
#include <QTreeWidget>

#include <optional>

class QSettings;

// Widest column accepted from a layout string or a stored layout.
constexpr int kMaxColumnWidth = 10000;

struct SColumnSpec {
    QString title;
    int width = 0; // above kMaxColumnWidth when the text asked for more
};

// Columns of a layout string "Title,width;Title,width" (the last ";" is optional).
QList<SColumnSpec> ParseColumnSpec(const QString& spec);

// Orders two cells: numbers (all digits, empty included) by value, dd/dd/dddd dates by
// year, middle and first field, other texts by the locale; numbers come before dates
// and dates before other texts, so that any mix of cells is consistently ordered.
int CompareCells(const QString& s, const QString& t);

// The stored column layout: a little-endian count followed by one width per column.
QByteArray ColumnLayoutRecord(const QList<int>& widths);
// The widths of a stored layout, or nothing when it does not fit columnCount columns exactly.
std::optional<QList<int>> ParseColumnLayout(const QByteArray& record, int columnCount);

class CSortListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    // Where AddRow places a row: at the end, or kept in order of the first column.
    enum class EInsertOrder { Append, Ascending, Descending };

    explicit CSortListCtrl(QWidget* parent = nullptr);
    // Stores the column widths for the next list with the same control id.
    ~CSortListCtrl() override;

    // False at the first column whose width is refused; the columns before it stay.
    bool InsertColumns(const QString& spec);
    int ColumnCount() const { return m_columnCount; }

    // One text per column: a shorter list is padded with empty texts, a longer one cut.
    // Returns the row's index, or -1 when the list has no columns.
    int AddRow(const QStringList& texts);
    bool DeleteRow(int row);
    void DeleteAllRows();
    int RowCount() const { return topLevelItemCount(); }
    QString CellText(int row, int column) const;
    bool SetRowValue(int row, qint32 value);
    qint32 GetRowValue(int row) const;

    void SortByColumn(int column, bool ascending);
    // Back to no sorted column, and no arrow in the header.
    void ClearSortColumn();
    int SortColumn() const { return m_sortColumn; }
    bool IsSortAscending() const { return m_ascending; }

    void SetInsertOrder(EInsertOrder order) { m_insertOrder = order; }
    void SetSelectionAlwaysShown(bool on);

    // The layout stored under "ListCtrls" for this control's id; false when none fits.
    bool RestoreColumnWidths();
    bool RestoreColumnWidths(QSettings& settings);
    void SaveColumnWidths(QSettings& settings) const;

    // False when the picture cannot be loaded; the list is then drawn without one.
    bool SetBackgroundBitmap(const QString& resourcePath);
    void SetBackgroundBitmap(const QPixmap& picture);

    CSortHeaderCtrl* SortHeader() const { return m_header; }

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    class CRow;

    void OnHeaderClick(int column);
    CRow* Row(int row) const;
    int InsertPosition(const QString& first) const;
    QString LayoutKey() const;

    CSortHeaderCtrl* m_header;
    int m_columnCount = 0;
    int m_sortColumn = -1;
    bool m_ascending = true;
    EInsertOrder m_insertOrder = EInsertOrder::Append;
    bool m_selectionAlwaysShown = false;
    QPixmap m_background;
};
