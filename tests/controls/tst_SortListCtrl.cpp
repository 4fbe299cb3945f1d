#include "controls/SortListCtrl.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kCallLogColumns = QStringLiteral("User/URI,85;URI,0;Date/Time,100;Call Type,80");

QStringList Column(const CSortListCtrl& list, int column)
{
    QStringList cells;
    for (int row = 0; row < list.RowCount(); ++row) {
        cells << list.CellText(row, column);
    }
    return cells;
}

QList<int> Widths(const CSortListCtrl& list)
{
    QList<int> widths;
    for (int column = 0; column < list.ColumnCount(); ++column) {
        widths << list.columnWidth(column);
    }
    return widths;
}

void FillOneColumn(CSortListCtrl& list, const QStringList& cells)
{
    list.InsertColumns(QStringLiteral("Cell,100"));
    for (const QString& cell : cells) {
        list.AddRow({cell});
    }
}
} // namespace

class TestSortListCtrl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void columnSpec_data();
    void columnSpec();
    void insertColumns();
    void rowsKeepTheirCellsAndValues();
    void sorting_data();
    void sorting();
    void mixedCellsAreConsistentlyOrdered();
    void headerClicksAlternate();
    void insertionKeepsTheListOrdered();
    void storedLayoutRefused_data();
    void storedLayoutRefused();
    void storedLayoutAcceptedAndSaved();
    void rowsDrawnOverThePicture();
};

void TestSortListCtrl::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Quenlark"));
    QCoreApplication::setApplicationName(QStringLiteral("OrvaloPhoneListTest"));
    QSettings().remove(QStringLiteral("ListCtrls"));
}

void TestSortListCtrl::columnSpec_data()
{
    QTest::addColumn<QString>("spec");
    QTest::addColumn<QString>("columns");
    QTest::newRow("call log") << kCallLogColumns << "User/URI:85 URI:0 Date/Time:100 Call Type:80";
    QTest::newRow("final separator") << "A,10;B,20;"
                                     << "A:10 B:20";
    QTest::newRow("no final separator") << "A,10;B,20"
                                        << "A:10 B:20";
    QTest::newRow("no comma") << "Just a title"
                              << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("width ends at a non-digit") << "A,12px;B,x;C, 7"
                                               << "A:12 B:0 C:7";
    QTest::newRow("endless width") << "A,99999999999999999999999"
                                   << "A:10001";
}

void TestSortListCtrl::columnSpec()
{
    QFETCH(QString, spec);
    QStringList columns;
    for (const SColumnSpec& column : ParseColumnSpec(spec)) {
        columns << column.title + QLatin1Char(':') + QString::number(column.width);
    }
    QTEST(columns.join(QLatin1Char(' ')), "columns");
}

void TestSortListCtrl::insertColumns()
{
    CSortListCtrl list;
    QVERIFY(list.InsertColumns(kCallLogColumns));
    QCOMPARE(list.ColumnCount(), 4);
    QCOMPARE(list.headerItem()->text(3), QStringLiteral("Call Type"));
    QCOMPARE(Widths(list), QList<int>({85, 0, 100, 80}));

    CSortListCtrl refused;
    QVERIFY(!refused.InsertColumns(QStringLiteral("A,10;B,20;C,20000;D,5")));
    QCOMPARE(refused.ColumnCount(), 2);

    CSortListCtrl none;
    QVERIFY(none.InsertColumns(QStringLiteral("no columns here")));
    QCOMPARE(none.ColumnCount(), 0);
    QCOMPARE(none.AddRow({QStringLiteral("x")}), -1);
}

void TestSortListCtrl::rowsKeepTheirCellsAndValues()
{
    CSortListCtrl list;
    list.InsertColumns(QStringLiteral("A,10;B,10;C,10"));
    QCOMPARE(list.AddRow({QStringLiteral("a")}), 0);
    QCOMPARE(list.AddRow({"b1", "b2", "b3", "b4", "b5"}), 1);
    QCOMPARE(list.CellText(0, 2), QString());
    QCOMPARE(list.CellText(1, 2), QStringLiteral("b3"));
    QCOMPARE(list.CellText(1, 3), QString());

    QCOMPARE(list.GetRowValue(0), 0);
    QVERIFY(list.SetRowValue(1, 7));
    QVERIFY(!list.SetRowValue(2, 1));
    QVERIFY(!list.SetRowValue(-1, 1));
    QCOMPARE(list.GetRowValue(1), 7);

    QVERIFY(list.DeleteRow(0));
    QVERIFY(!list.DeleteRow(1));
    QCOMPARE(list.CellText(0, 0), QStringLiteral("b1"));
    QCOMPARE(list.GetRowValue(0), 7);
    list.DeleteAllRows();
    QCOMPARE(list.RowCount(), 0);
}

void TestSortListCtrl::sorting_data()
{
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QStringList>("ascending");
    QTest::newRow("numbers") << QStringList{"10", "9", "100", "", "007"} << QStringList{"", "007", "9", "10", "100"};
    QTest::newRow("numbers beyond 64 bits") << QStringList{"99999999999999999999999", "100", "18446744073709551617"}
                                            << QStringList{"100", "18446744073709551617", "99999999999999999999999"};
    QTest::newRow("dates") << QStringList{"01/02/2005", "31/12/2004", "15/01/2005", "01/01/2005"}
                           << QStringList{"31/12/2004", "01/01/2005", "15/01/2005", "01/02/2005"};
    QTest::newRow("text") << QStringList{"carol", "Alice", "bob"} << QStringList{"Alice", "bob", "carol"};
    // The call log's own date and time texts are not dates of the list: they sort as text.
    QTest::newRow("call log times") << QStringList{"03-07-2005  14:05", "12-01-2004  09:00", "01-15-2006  10:00"}
                                    << QStringList{"01-15-2006  10:00", "03-07-2005  14:05", "12-01-2004  09:00"};
}

void TestSortListCtrl::sorting()
{
    QFETCH(QStringList, cells);
    QFETCH(QStringList, ascending);
    CSortListCtrl list;
    FillOneColumn(list, cells);
    for (int row = 0; row < list.RowCount(); ++row) {
        list.SetRowValue(row, row + 1);
    }
    list.SortByColumn(0, true);
    QCOMPARE(Column(list, 0), ascending);
    // Each row's value travels with it.
    QCOMPARE(list.GetRowValue(0), static_cast<qint32>(cells.indexOf(ascending.first()) + 1));

    list.SortByColumn(0, false);
    std::reverse(ascending.begin(), ascending.end());
    QCOMPARE(Column(list, 0), ascending);
}

void TestSortListCtrl::mixedCellsAreConsistentlyOrdered()
{
    // "5x" sorts as text between "10" and "9" but the numbers sort by value: a naive
    // mix of the comparisons goes round in a circle.
    const QStringList cells{"10", "9", "5x", "", "abc", "01/02/2005", "31/12/2004", "Zed", "0"};
    for (const QString& a : cells) {
        QCOMPARE(CompareCells(a, a), 0);
        for (const QString& b : cells) {
            QCOMPARE(CompareCells(a, b), -CompareCells(b, a));
            for (const QString& c : cells) {
                if (CompareCells(a, b) < 0 && CompareCells(b, c) < 0) {
                    QVERIFY2(CompareCells(a, c) < 0, qPrintable(a + " " + b + " " + c));
                }
            }
        }
    }
    CSortListCtrl list;
    FillOneColumn(list, cells);
    list.SortByColumn(0, true);
    const QStringList sorted = Column(list, 0);
    for (int i = 1; i < sorted.size(); ++i) {
        QVERIFY(CompareCells(sorted[i - 1], sorted[i]) <= 0);
    }
}

void TestSortListCtrl::headerClicksAlternate()
{
    CSortListCtrl list;
    list.InsertColumns(QStringLiteral("Name,80;Count,60;Kind,60"));
    list.AddRow({"b", "2", "x"});
    list.AddRow({"a", "10", "y"});
    list.AddRow({"c", "1", "z"});
    list.resize(300, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    CSortHeaderCtrl* header = list.SortHeader();
    const auto click = [&](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
    };

    click(1);
    QCOMPARE(Column(list, 1), QStringList({"1", "2", "10"}));
    QCOMPARE(header->SortColumn(), 1);
    QVERIFY(header->IsAscending());
    click(1);
    QCOMPARE(Column(list, 1), QStringList({"10", "2", "1"}));
    QVERIFY(!list.IsSortAscending());
    QVERIFY(!header->IsAscending());
    click(1);
    QCOMPARE(Column(list, 1), QStringList({"1", "2", "10"}));
    click(1);
    click(0); // a new column starts ascending whatever the last direction
    QCOMPARE(Column(list, 0), QStringList({"a", "b", "c"}));
    QCOMPARE(list.SortColumn(), 0);
    QVERIFY(list.IsSortAscending());
}

void TestSortListCtrl::insertionKeepsTheListOrdered()
{
    CSortListCtrl list;
    list.InsertColumns(QStringLiteral("Name,80"));
    list.SetInsertOrder(CSortListCtrl::EInsertOrder::Descending);
    QCOMPARE(list.AddRow({"2"}), 0);
    QCOMPARE(list.AddRow({"10"}), 0);
    QCOMPARE(list.AddRow({"1"}), 2);
    QCOMPARE(list.AddRow({"2"}), 1); // before its equal: the latest comes first
    list.SetRowValue(1, 5);
    QCOMPARE(Column(list, 0), QStringList({"10", "2", "2", "1"}));
    QCOMPARE(list.GetRowValue(2), 0);
}

void TestSortListCtrl::storedLayoutRefused_data()
{
    QTest::addColumn<QByteArray>("record");
    const QByteArray good = ColumnLayoutRecord({50, 0, 120, 90});
    QTest::newRow("fewer widths") << ColumnLayoutRecord({50, 0, 120});
    QTest::newRow("more widths") << ColumnLayoutRecord({50, 0, 120, 90, 10});
    QTest::newRow("count disagrees with size") << good + QByteArray(4, '\0');
    QTest::newRow("cut short") << good.left(good.size() - 1);
    QTest::newRow("width too large") << ColumnLayoutRecord({50, 0, 10001, 90});
    QTest::newRow("negative width") << ColumnLayoutRecord({50, -1, 120, 90});
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("50,0,120,90");
}

void TestSortListCtrl::storedLayoutRefused()
{
    QFETCH(QByteArray, record);
    QTemporaryDir folder;
    QSettings settings(folder.filePath(QStringLiteral("profile.ini")), QSettings::IniFormat);
    settings.setValue(QStringLiteral("ListCtrls/1008"), record);
    CSortListCtrl list;
    list.setObjectName(QStringLiteral("1008"));
    list.InsertColumns(kCallLogColumns);
    QVERIFY(!list.RestoreColumnWidths(settings));
    QCOMPARE(Widths(list), QList<int>({85, 0, 100, 80}));
}

void TestSortListCtrl::storedLayoutAcceptedAndSaved()
{
    QTemporaryDir folder;
    QSettings settings(folder.filePath(QStringLiteral("profile.ini")), QSettings::IniFormat);
    settings.setValue(QStringLiteral("ListCtrls/1008"), ColumnLayoutRecord({50, 0, 120, 90}));
    {
        CSortListCtrl list;
        list.setObjectName(QStringLiteral("1008"));
        list.InsertColumns(kCallLogColumns);
        QVERIFY(list.RestoreColumnWidths(settings));
        QCOMPARE(Widths(list), QList<int>({50, 0, 120, 90}));
        list.setColumnWidth(2, 140);
        list.SaveColumnWidths(settings);
        QCOMPARE(settings.value(QStringLiteral("ListCtrls/1008")).toByteArray().toHex(), QByteArray("04000000"
                                                                                                    "32000000"
                                                                                                    "00000000"
                                                                                                    "8c000000"
                                                                                                    "5a000000"));
        QCOMPARE(QFile::permissions(settings.fileName()) & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());

        // Widths left on destruction are found by the next list with the same id.
        list.setColumnWidth(0, 61);
    }
    CSortListCtrl next;
    next.setObjectName(QStringLiteral("1008"));
    next.InsertColumns(kCallLogColumns);
    QVERIFY(next.RestoreColumnWidths());
    QCOMPARE(Widths(next), QList<int>({61, 0, 140, 90}));
}

void TestSortListCtrl::rowsDrawnOverThePicture()
{
    CSortListCtrl list;
    list.InsertColumns(QStringLiteral("A,100;B,100;C,100"));
    list.AddRow({"x", "y", "z"});
    list.AddRow({"x", "y", "z"});
    list.resize(400, 300);
    const QColor base = list.palette().color(QPalette::Base);
    const QRect row = list.visualItemRect(list.topLevelItem(0));
    const QPoint inColumn0(95, row.center().y());
    const QPoint inColumn2(295, row.center().y());
    QCOMPARE(list.viewport()->grab().toImage().pixelColor(inColumn2), base);

    QVERIFY(!list.SetBackgroundBitmap(QStringLiteral(":/bitmaps/no-such-picture.png")));
    QCOMPARE(list.viewport()->grab().toImage().pixelColor(inColumn2), base);

    const QColor green(0, 200, 0);
    QPixmap picture(64, 64);
    picture.fill(green);
    list.SetBackgroundBitmap(picture);
    list.SetSelectionAlwaysShown(true);
    list.topLevelItem(0)->setSelected(true);
    const QImage image = list.viewport()->grab().toImage();
    QCOMPARE(image.pixelColor(inColumn0), list.palette().color(QPalette::Highlight));
    QCOMPARE(image.pixelColor(inColumn2), green);                         // only the first column is highlighted
    QCOMPARE(image.pixelColor(inColumn2.x(), image.height() - 2), green); // below the last row
}

QTEST_MAIN(TestSortListCtrl)
#include "tst_SortListCtrl.moc"
