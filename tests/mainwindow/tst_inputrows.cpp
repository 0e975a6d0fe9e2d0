#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "avsettings.h"
#include "catalogue.h"
#include "inputitem.h"
#include "inputrows.h"
#include "resultcodes.h"
#include "stylesheet.h"
#include "waits.h"

namespace {

// A list as the window has it: its sheet, no frame, no horizontal bar.
struct ListFrame
{
    QWidget frame;
    QListWidget *list = nullptr;

    ListFrame()
    {
        loadStyleSheet(&frame, QStringLiteral(":/qss/css/MainWindow.css"));
        auto *layout = new QVBoxLayout(&frame);
        layout->setContentsMargins(0, 0, 0, 0);
        list = new QListWidget(&frame);
        list->setObjectName(QStringLiteral("listInput"));
        list->setFrameShape(QFrame::NoFrame);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        layout->addWidget(list);
        InputItem::shareStyleSheet(list);
        // Six rows and a part of a seventh.
        frame.resize(420, 6 * InputItem::rowSize().height() + 20);
    }

    // Shown, and the rows in view placed.
    bool showAndSettle()
    {
        frame.show();
        const bool exposed = QTest::qWaitForWindowExposed(&frame, processWaitMs);
        QTest::qWait(0);
        return exposed;
    }
};

QImage shot(QWidget &widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool intersectsView(QListWidget *list, int row)
{
    return list->visualItemRect(list->item(row)).intersects(list->viewport()->rect());
}

QString nameShown(InputItem *item)
{
    return item->findChild<QLabel *>(QStringLiteral("filename"))->text();
}

} // namespace

// The rows of the input list: a form only for the rows in view, placed and
// painted as the list places a widget of its own.
class TestInputRows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void looksAsRowWidgetsOfTheList_data();
    void looksAsRowWidgetsOfTheList();
    void scrollingKeepsFormsToTheRowsInView();
    void wheelOverARowScrollsItAway();
    void deleteAndClearLeaveNothingBehind_data();
    void deleteAndClearLeaveNothingBehind();

private:
    QString source(int row) const { return dir.filePath(QStringLiteral("片段 %1.mp4").arg(row)); }
    bool makeSource(int row);
    void fill(InputRows &rows, int count);
    // Every row of the list and what it shows, checked against the list.
    void checkRows(QListWidget *list, InputRows &rows);

    QTemporaryDir dir;
};

void TestInputRows::initTestCase()
{
    QVERIFY(dir.isValid());
    initCatalogue();
}

// Sources of different sizes, so that each row shows its own texts.
bool TestInputRows::makeSource(int row)
{
    QFile file(source(row));
    if (file.exists())
        return true;
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(row * 1000, 'x')) == row * 1000;
}

void TestInputRows::fill(InputRows &rows, int count)
{
    for (int row = 0; row < count; ++row) {
        QVERIFY(makeSource(row));
        InputItem *item = rows.makeItem();
        QCOMPARE(item->setInputFile(source(row).toUtf8(), makeAVSettings(0, 1, 1)), ResultOk);
        rows.append(item);
    }
}

void TestInputRows::checkRows(QListWidget *list, InputRows &rows)
{
    int withForm = 0;
    for (int row = 0; row < list->count(); ++row) {
        InputItem *item = rows.itemAt(row);
        QVERIFY(item);
        QCOMPARE(item->inputPath(), source(row).toUtf8());
        if (!intersectsView(list, row)) {
            QVERIFY2(!item->hasForm() && !item->isVisibleTo(list), qPrintable(QString::number(row)));
            continue;
        }
        ++withForm;
        QVERIFY2(item->hasForm() && item->isVisibleTo(list), qPrintable(QString::number(row)));
        QCOMPARE(item->parentWidget(), list->viewport());
        QCOMPARE(item->geometry(), list->visualItemRect(list->item(row)));
        QCOMPARE(nameShown(item), QFileInfo(source(row)).fileName());
    }
    // Nothing else in the viewport: no row left behind where it was.
    QCOMPARE(list->viewport()->findChildren<InputItem *>(QString(), Qt::FindDirectChildrenOnly).size(),
             withForm);
}

void TestInputRows::looksAsRowWidgetsOfTheList_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("scroll");
    QTest::addColumn<int>("selected");
    QTest::newRow("three rows") << 3 << 0.0 << -1;
    QTest::newRow("three rows, one selected") << 3 << 0.0 << 1;
    QTest::newRow("twelve rows, at the top") << 12 << 0.0 << -1;
    QTest::newRow("twelve rows, at the bottom, one selected") << 12 << 1.0 << 10;
    QTest::newRow("300 rows, in the middle") << 300 << 0.5 << 150;
}

// The old way, each row a widget that the list places itself, against rows
// placed over a list that only lays out and paints plain rows.
void TestInputRows::looksAsRowWidgetsOfTheList()
{
    QFETCH(int, count);
    QFETCH(double, scroll);
    QFETCH(int, selected);

    ListFrame own;
    for (int row = 0; row < count; ++row) {
        QVERIFY(makeSource(row));
        auto *item = new InputItem(own.list->viewport());
        QCOMPARE(item->setInputFile(source(row).toUtf8(), makeAVSettings(0, 1, 1)), ResultOk);
        auto *entry = new QListWidgetItem;
        entry->setSizeHint(item->size());
        own.list->addItem(entry);
        own.list->setItemWidget(entry, item);
    }
    ListFrame placed;
    InputRows rows(placed.list);
    fill(rows, count);

    for (ListFrame *frame : {&own, &placed}) {
        frame->frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame->frame, processWaitMs));
        QScrollBar *bar = frame->list->verticalScrollBar();
        bar->setValue(int(scroll * bar->maximum()));
        if (selected >= 0)
            frame->list->setCurrentRow(selected);
    }
    QTest::qWait(50);
    QCOMPARE(placed.list->verticalScrollBar()->value(), own.list->verticalScrollBar()->value());
    checkRows(placed.list, rows);
    const QImage expected = shot(own.frame);
    QVERIFY(shot(placed.frame) == expected);
}

// A walk down a long list and back: at every step the rows in view have
// their forms, in their places, and the list holds widgets for no others.
void TestInputRows::scrollingKeepsFormsToTheRowsInView()
{
    ListFrame frame;
    InputRows rows(frame.list);
    fill(rows, 400);
    QVERIFY(frame.showAndSettle());
    const int widgetsAtTop = frame.list->findChildren<QWidget *>().size();
    QScrollBar *bar = frame.list->verticalScrollBar();
    QVERIFY(bar->maximum() > 300);
    for (int value = 0; value < bar->maximum() + 37; value += 37) {
        bar->setValue(qMin(value, bar->maximum()));
        checkRows(frame.list, rows);
        if (QTest::currentTestFailed())
            return;
    }
    // As the keys move through the list.
    frame.list->setCurrentRow(200);
    QVERIFY(intersectsView(frame.list, 200));
    checkRows(frame.list, rows);
    QTest::keyClick(frame.list, Qt::Key_Home);
    QCOMPARE(bar->value(), 0);
    checkRows(frame.list, rows);
    QTest::keyClick(frame.list, Qt::Key_PageDown);
    QTest::qWait(0);
    checkRows(frame.list, rows);
    // Released forms are gone once the event loop has run, not kept.
    bar->setValue(0);
    QTest::qWait(0);
    QCOMPARE(frame.list->findChildren<QWidget *>().size(), widgetsAtTop);
}

// The wheel over the list scrolls the row under the pointer out of view: its
// form goes at once, its widgets when the event loop runs again.
void TestInputRows::wheelOverARowScrollsItAway()
{
    ListFrame frame;
    InputRows rows(frame.list);
    fill(rows, 200);
    QVERIFY(frame.showAndSettle());
    QScrollBar *bar = frame.list->verticalScrollBar();
    for (int turn = 0; turn < 3; ++turn) {
        InputItem *under = rows.itemAt(bar->value());
        QVERIFY(under->hasForm());
        QPointer<QLabel> label = under->findChild<QLabel *>(QStringLiteral("filename"));
        const QPoint at(5, 5);
        const QPoint inViewport = label->mapTo(frame.list->viewport(), at);
        QWheelEvent wheel(inViewport, label->mapToGlobal(at), QPoint(), QPoint(0, -120 * 10), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        const int before = bar->value();
        QApplication::sendEvent(frame.list->viewport(), &wheel);
        QVERIFY(bar->value() > before);
        QVERIFY(!under->hasForm());
        checkRows(frame.list, rows);
        if (QTest::currentTestFailed())
            return;
        QTest::qWait(0);
        QVERIFY(label.isNull());
    }
}

void TestInputRows::deleteAndClearLeaveNothingBehind_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("deleted");
    QTest::newRow("the first of three") << 3 << 0;
    QTest::newRow("the last of three") << 3 << 2;
    QTest::newRow("one of twelve, a row comes into view") << 12 << 2;
    QTest::newRow("the last row in view of twelve") << 12 << 5;
}

void TestInputRows::deleteAndClearLeaveNothingBehind()
{
    QFETCH(int, count);
    QFETCH(int, deleted);

    ListFrame frame;
    InputRows rows(frame.list);
    fill(rows, count);
    QList<QPointer<InputItem>> items;
    for (int row = 0; row < count; ++row) {
        items << rows.itemAt(row);
        // As the window does: from inside the row's own button.
        connect(rows.itemAt(row), &InputItem::ItemDelete, &rows, &InputRows::remove);
    }
    QVERIFY(frame.showAndSettle());

    auto *button = items[deleted]->findChild<QPushButton *>(QStringLiteral("btnDel"));
    QVERIFY(button && button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(frame.list->count(), count - 1);
    QTRY_VERIFY_WITH_TIMEOUT(items[deleted].isNull(), processWaitMs);
    QTest::qWait(0);
    for (int row = 0; row < frame.list->count(); ++row)
        QCOMPARE(rows.itemAt(row), items[row < deleted ? row : row + 1].data());
    // The rows in view, one of them perhaps new, are where the list shows them.
    int shown = 0;
    for (int row = 0; row < frame.list->count(); ++row) {
        InputItem *item = rows.itemAt(row);
        const QRect rect = frame.list->visualItemRect(frame.list->item(row));
        const bool inView = rect.intersects(frame.list->viewport()->rect());
        QCOMPARE(item->hasForm(), inView);
        if (inView) {
            ++shown;
            QVERIFY(item->isVisible());
            QCOMPARE(item->geometry(), rect);
        }
    }
    QCOMPARE(frame.list->viewport()->findChildren<InputItem *>(QString(), Qt::FindDirectChildrenOnly).size(),
             shown);

    rows.clear();
    QCOMPARE(frame.list->count(), 0);
    for (const QPointer<InputItem> &item : items)
        QVERIFY(item.isNull());
    QVERIFY(frame.list->findChildren<InputItem *>().isEmpty());
    // And the list takes rows again.
    fill(rows, 2);
    QTest::qWait(0);
    QVERIFY(rows.itemAt(1)->hasForm());
}

QTEST_MAIN(TestInputRows)
#include "tst_inputrows.moc"
