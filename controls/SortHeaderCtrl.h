// The header of a sortable list: the sorted column shows an etched arrow.
#pragma once

#include <QHeaderView>

class CSortHeaderCtrl : public QHeaderView {
    Q_OBJECT
public:
    explicit CSortHeaderCtrl(QWidget* parent = nullptr);

    void SetSortArrow(int column, bool ascending);
    int SortColumn() const { return m_sortColumn; }
    bool IsAscending() const { return m_ascending; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void DrawArrow(QPainter& painter, const QRect& item) const;

    int m_sortColumn = -1;
    bool m_ascending = true;
    int m_pressedSection = -1;
};
