#include "SortListCtrl.h"

#include <QFile>
#include <QPainter>
#include <QSettings>
#include <QStyleOptionFocusRect>
#include <QtEndian>

#include <algorithm>

namespace {
const QString kLayoutGroup = QStringLiteral("ListCtrls");
constexpr int kLayoutFieldSize = 4;

bool IsAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool IsNumber(const QString& s)
{
    return std::all_of(s.begin(), s.end(), IsAsciiDigit);
}

bool IsDate(const QString& s)
{
    if (s.size() != 10 || s[2] != QLatin1Char('/') || s[5] != QLatin1Char('/')) {
        return false;
    }
    for (int i : {0, 1, 3, 4, 6, 7, 8, 9}) {
        if (!IsAsciiDigit(s[i])) {
            return false;
        }
    }
    return true;
}

enum class ECellKind { Number, Date, Text };

ECellKind KindOf(const QString& s)
{
    if (IsNumber(s)) {
        return ECellKind::Number;
    }
    return IsDate(s) ? ECellKind::Date : ECellKind::Text;
}

int Sign(int value)
{
    return (value > 0) - (value < 0);
}

// Compares digit strings of any length by value (an empty string is 0).
int CompareDigits(QStringView s, QStringView t)
{
    const auto significant = [](QStringView digits) {
        qsizetype first = 0;
        while (first < digits.size() && digits[first] == QLatin1Char('0')) {
            ++first;
        }
        return digits.mid(first);
    };
    const QStringView a = significant(s);
    const QStringView b = significant(t);
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return Sign(a.compare(b));
}

int CompareDates(const QString& s, const QString& t)
{
    const QStringView a(s);
    const QStringView b(t);
    if (const int year = CompareDigits(a.mid(6, 4), b.mid(6, 4))) {
        return year;
    }
    if (const int middle = CompareDigits(a.mid(3, 2), b.mid(3, 2))) {
        return middle;
    }
    return CompareDigits(a.mid(0, 2), b.mid(0, 2));
}

// Leading decimal digits after any blanks; stops counting just above the widest column.
int LeadingWidth(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' ')) {
        ++i;
    }
    int width = 0;
    for (; i < text.size() && IsAsciiDigit(text[i]); ++i) {
        width = std::min(width * 10 + (text[i].unicode() - '0'), kMaxColumnWidth + 1);
    }
    return width;
}

int Wrapped(int value, int modulus)
{
    const int rest = value % modulus;
    return rest < 0 ? rest + modulus : rest;
}
} // namespace

QList<SColumnSpec> ParseColumnSpec(const QString& spec)
{
    QList<SColumnSpec> columns;
    qsizetype p = 0;
    for (;;) {
        const qsizetype comma = spec.indexOf(QLatin1Char(','), p);
        if (comma < 0) {
            break;
        }
        qsizetype end = spec.indexOf(QLatin1Char(';'), comma + 1);
        if (end < 0) {
            end = spec.size();
        }
        columns.append({spec.mid(p, comma - p), LeadingWidth(QStringView(spec).mid(comma + 1, end - comma - 1))});
        p = end + 1;
    }
    return columns;
}

int CompareCells(const QString& s, const QString& t)
{
    const ECellKind kind = KindOf(s);
    const ECellKind other = KindOf(t);
    if (kind != other) {
        return kind < other ? -1 : 1;
    }
    switch (kind) {
    case ECellKind::Number: return CompareDigits(s, t);
    case ECellKind::Date: return CompareDates(s, t);
    case ECellKind::Text: break;
    }
    return Sign(QString::localeAwareCompare(s, t));
}

QByteArray ColumnLayoutRecord(const QList<int>& widths)
{
    QByteArray record(kLayoutFieldSize * (widths.size() + 1), '\0');
    char* field = record.data();
    qToLittleEndian<qint32>(static_cast<qint32>(widths.size()), field);
    for (int width : widths) {
        field += kLayoutFieldSize;
        qToLittleEndian<qint32>(width, field);
    }
    return record;
}

std::optional<QList<int>> ParseColumnLayout(const QByteArray& record, int columnCount)
{
    if (columnCount < 0 || record.size() != kLayoutFieldSize * (columnCount + 1)) {
        return std::nullopt;
    }
    const char* field = record.constData();
    if (qFromLittleEndian<qint32>(field) != columnCount) {
        return std::nullopt;
    }
    QList<int> widths;
    for (int i = 0; i < columnCount; ++i) {
        field += kLayoutFieldSize;
        const int width = qFromLittleEndian<qint32>(field);
        if (width < 0 || width > kMaxColumnWidth) {
            return std::nullopt;
        }
        widths.append(width);
    }
    return widths;
}

// A row's record: its own copy of the cells, which sorting reads, and the user's value.
class CSortListCtrl::CRow : public QTreeWidgetItem {
public:
    static constexpr int kType = QTreeWidgetItem::UserType + 1;

    explicit CRow(const QStringList& cells) : QTreeWidgetItem(cells, kType), m_cells(cells) {}

    bool operator<(const QTreeWidgetItem& other) const override
    {
        const auto* list = static_cast<const CSortListCtrl*>(treeWidget());
        if (other.type() != kType || !list) {
            return QTreeWidgetItem::operator<(other);
        }
        const int column = list->SortColumn();
        return CompareCells(m_cells.value(column), static_cast<const CRow&>(other).m_cells.value(column)) < 0;
    }

    QStringList m_cells;
    qint32 m_value = 0;
};

CSortListCtrl::CSortListCtrl(QWidget* parent) : QTreeWidget(parent), m_header(new CSortHeaderCtrl(this))
{
    setHeader(m_header);
    // Taking the header over resets it to the view's sorting; this list sorts on its own clicks.
    m_header->setSectionsClickable(true);
    setColumnCount(0);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(0);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(m_header, &QHeaderView::sectionClicked, this, &CSortListCtrl::OnHeaderClick);
    // Tiles uncovered by a resized column are drawn again.
    connect(m_header, &QHeaderView::sectionResized, this, [this] {
        if (!m_background.isNull()) {
            viewport()->update();
        }
    });
}

CSortListCtrl::~CSortListCtrl()
{
    if (m_columnCount > 0 && !LayoutKey().isEmpty()) {
        QSettings settings;
        SaveColumnWidths(settings);
    }
}

bool CSortListCtrl::InsertColumns(const QString& spec)
{
    for (const SColumnSpec& column : ParseColumnSpec(spec)) {
        if (column.width > kMaxColumnWidth) {
            return false;
        }
        const int index = m_columnCount++;
        setColumnCount(m_columnCount);
        headerItem()->setText(index, column.title);
        headerItem()->setTextAlignment(index, Qt::AlignLeft | Qt::AlignVCenter);
        setColumnWidth(index, column.width);
    }
    return true;
}

CSortListCtrl::CRow* CSortListCtrl::Row(int row) const
{
    QTreeWidgetItem* item = topLevelItem(row);
    return item && item->type() == CRow::kType ? static_cast<CRow*>(item) : nullptr;
}

int CSortListCtrl::InsertPosition(const QString& first) const
{
    if (m_insertOrder == EInsertOrder::Append) {
        return RowCount();
    }
    // A new row goes before the rows equal to it, so the latest of equals comes first.
    const int wanted = m_insertOrder == EInsertOrder::Ascending ? 1 : -1;
    for (int row = 0; row < RowCount(); ++row) {
        const CRow* record = Row(row);
        if (record && CompareCells(first, record->m_cells.value(0)) != wanted) {
            return row;
        }
    }
    return RowCount();
}

int CSortListCtrl::AddRow(const QStringList& texts)
{
    if (m_columnCount == 0) {
        return -1;
    }
    QStringList cells = texts.mid(0, m_columnCount);
    while (cells.size() < m_columnCount) {
        cells.append(QString());
    }
    const int index = InsertPosition(cells.first());
    insertTopLevelItem(index, new CRow(cells));
    return index;
}

bool CSortListCtrl::DeleteRow(int row)
{
    if (row < 0 || row >= RowCount()) {
        return false;
    }
    delete takeTopLevelItem(row);
    return true;
}

void CSortListCtrl::DeleteAllRows()
{
    clear();
}

QString CSortListCtrl::CellText(int row, int column) const
{
    const CRow* record = Row(row);
    return record ? record->m_cells.value(column) : QString();
}

bool CSortListCtrl::SetRowValue(int row, qint32 value)
{
    CRow* record = Row(row);
    if (!record) {
        return false;
    }
    record->m_value = value;
    return true;
}

qint32 CSortListCtrl::GetRowValue(int row) const
{
    const CRow* record = Row(row);
    return record ? record->m_value : 0;
}

void CSortListCtrl::OnHeaderClick(int column)
{
    // A new column starts ascending; further clicks on the same column alternate.
    SortByColumn(column, column != m_sortColumn || !m_ascending);
}

void CSortListCtrl::SortByColumn(int column, bool ascending)
{
    m_sortColumn = column;
    m_ascending = ascending;
    m_header->SetSortArrow(column, ascending);
    sortItems(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CSortListCtrl::ClearSortColumn()
{
    m_sortColumn = -1;
    m_ascending = true;
    m_header->SetSortArrow(-1, true);
}

void CSortListCtrl::SetSelectionAlwaysShown(bool on)
{
    m_selectionAlwaysShown = on;
    viewport()->update();
}

QString CSortListCtrl::LayoutKey() const
{
    return objectName().isEmpty() ? QString() : kLayoutGroup + QLatin1Char('/') + objectName();
}

bool CSortListCtrl::RestoreColumnWidths()
{
    QSettings settings;
    return RestoreColumnWidths(settings);
}

bool CSortListCtrl::RestoreColumnWidths(QSettings& settings)
{
    const QString key = LayoutKey();
    if (key.isEmpty()) {
        return false;
    }
    const std::optional<QList<int>> widths = ParseColumnLayout(settings.value(key).toByteArray(), m_header->count());
    if (!widths) {
        return false;
    }
    for (int column = 0; column < widths->size(); ++column) {
        setColumnWidth(column, widths->at(column));
    }
    viewport()->update();
    return true;
}

void CSortListCtrl::SaveColumnWidths(QSettings& settings) const
{
    const QString key = LayoutKey();
    if (key.isEmpty()) {
        return;
    }
    QList<int> widths;
    for (int column = 0; column < m_header->count(); ++column) {
        widths.append(columnWidth(column));
    }
    settings.setValue(key, ColumnLayoutRecord(widths));
    settings.sync();
    // The settings hold the user's password as well: readable by the owner only.
    if (settings.status() == QSettings::NoError && QFile::exists(settings.fileName())) {
        QFile::setPermissions(settings.fileName(), QFile::ReadOwner | QFile::WriteOwner);
    }
}

bool CSortListCtrl::SetBackgroundBitmap(const QString& resourcePath)
{
    QPixmap picture;
    const bool loaded = picture.load(resourcePath);
    SetBackgroundBitmap(picture);
    return loaded;
}

void CSortListCtrl::SetBackgroundBitmap(const QPixmap& picture)
{
    m_background = picture;
    viewport()->update();
}

void CSortListCtrl::paintEvent(QPaintEvent* event)
{
    if (!m_background.isNull()) {
        // Tiles start at the first row, so the picture scrolls with the rows.
        const int top = RowCount() > 0 ? visualItemRect(topLevelItem(0)).top() : 0;
        QPainter painter(viewport());
        painter.drawTiledPixmap(
            viewport()->rect(), m_background,
            QPoint(Wrapped(horizontalOffset(), m_background.width()), Wrapped(-top, m_background.height())));
    }
    QTreeWidget::paintEvent(event);
}

void CSortListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QTreeWidgetItem* item = itemFromIndex(index);
    if (!item || item->type() != CRow::kType) {
        QTreeWidget::drawRow(painter, option, index);
        return;
    }
    const CRow* record = static_cast<const CRow*>(item);
    const bool highlighted = selectionModel()->isSelected(index) && (hasFocus() || m_selectionAlwaysShown);
    const bool plain = m_background.isNull();
    const int margin = 2 * option.fontMetrics.horizontalAdvance(QLatin1Char(' '));
    const int flags = Qt::AlignVCenter | Qt::TextSingleLine;

    painter->save();
    painter->setPen(palette().color(highlighted ? QPalette::HighlightedText : QPalette::Text));
    QRect label;
    for (int visual = 0; visual < m_header->count(); ++visual) {
        const int column = m_header->logicalIndex(visual);
        if (m_header->isSectionHidden(column)) {
            continue;
        }
        const QRect cell(columnViewportPosition(column), option.rect.top(), columnWidth(column), option.rect.height());
        const QString text = record->m_cells.value(column);
        if (column == 0) {
            label = cell;
            if (highlighted) {
                painter->fillRect(cell, palette().highlight());
            } else if (plain) {
                painter->fillRect(cell, palette().base());
            }
            const QRect area = cell.adjusted(margin / 2, 0, -margin / 2, 0);
            painter->drawText(area, flags | Qt::AlignLeft,
                              option.fontMetrics.elidedText(text, Qt::ElideRight, area.width()));
            continue;
        }
        if (plain) {
            painter->fillRect(cell, palette().base());
        }
        if (!text.isEmpty()) {
            const QRect area = cell.adjusted(margin, 0, -margin, 0);
            const Qt::Alignment horizontal =
                Qt::Alignment(headerItem()->textAlignment(column)) & Qt::AlignHorizontal_Mask;
            painter->drawText(area, flags | (horizontal ? horizontal : Qt::AlignLeft),
                              option.fontMetrics.elidedText(text, Qt::ElideRight, area.width()));
        }
    }
    if (hasFocus() && currentIndex().row() == index.row() && label.isValid()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = label;
        focus.backgroundColor = palette().color(highlighted ? QPalette::Highlight : QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, this);
    }
    painter->restore();
}
