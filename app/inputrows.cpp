#include "inputrows.h"

#include <QEvent>
#include <QListWidget>
#include <QScrollBar>
#include <QVariant>

#include "inputitem.h"

namespace {

const int itemRole = Qt::UserRole;

} // namespace

InputRows::InputRows(QListWidget *list)
    : QObject(list), list(list), stash(new QWidget(list))
{
    stash->hide();
    // Every row has the form's size.
    list->setUniformItemSizes(true);
    QAbstractItemModel *model = list->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, &InputRows::schedulePlace);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &InputRows::schedulePlace);
    connect(model, &QAbstractItemModel::rowsMoved, this, &InputRows::schedulePlace);
    connect(model, &QAbstractItemModel::modelReset, this, &InputRows::schedulePlace);
    connect(model, &QAbstractItemModel::layoutChanged, this, &InputRows::schedulePlace);
    // At once, after the list has scrolled the rows it shows, so that a
    // row coming into view is never painted without its form.
    connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this, &InputRows::place);
    connect(list->horizontalScrollBar(), &QScrollBar::valueChanged, this, &InputRows::place);
    list->viewport()->installEventFilter(this);
}

InputItem *InputRows::makeItem() const
{
    return new InputItem(stash, InputItem::FormWhenShown);
}

void InputRows::append(InputItem *item)
{
    auto *entry = new QListWidgetItem;
    entry->setSizeHint(InputItem::rowSize());
    entry->setData(itemRole, QVariant::fromValue(item));
    list->addItem(entry);
}

void InputRows::remove(InputItem *item)
{
    for (int row = 0; row < list->count(); ++row) {
        if (itemAt(row) != item)
            continue;
        shown.removeOne(item);
        item->hide();
        item->deleteLater();
        delete list->takeItem(row);
        return;
    }
}

void InputRows::clear()
{
    shown.clear();
    for (int row = 0; row < list->count(); ++row)
        delete itemAt(row);
    list->clear();
}

InputItem *InputRows::itemAt(int row) const
{
    return itemOf(list->item(row));
}

InputItem *InputRows::itemOf(const QListWidgetItem *entry)
{
    return entry ? entry->data(itemRole).value<InputItem *>() : nullptr;
}

bool InputRows::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == list->viewport() && event->type() == QEvent::Resize)
        schedulePlace();
    return QObject::eventFilter(watched, event);
}

void InputRows::schedulePlace()
{
    if (placePending)
        return;
    placePending = true;
    QMetaObject::invokeMethod(this, &InputRows::place, Qt::QueuedConnection);
}

void InputRows::place()
{
    placePending = false;
    QVector<InputItem *> inView;
    const int height = list->viewport()->height();
    const QModelIndex first = list->indexAt(QPoint(0, 0));
    for (int row = first.isValid() ? first.row() : 0; row < list->count(); ++row) {
        QListWidgetItem *entry = list->item(row);
        const QRect rect = list->visualItemRect(entry);
        if (rect.top() >= height)
            break;
        if (rect.bottom() < 0)
            continue;
        InputItem *item = itemOf(entry);
        show(item, rect);
        inView << item;
    }
    for (InputItem *item : qAsConst(shown)) {
        if (!inView.contains(item))
            park(item);
    }
    shown = inView;
}

void InputRows::show(InputItem *item, const QRect &rect)
{
    QWidget *viewport = list->viewport();
    if (item->parentWidget() != viewport)
        item->setParent(viewport);
    item->ensureForm();
    item->setGeometry(rect);
    if (!item->isVisible())
        item->show();
}

void InputRows::park(InputItem *item)
{
    item->releaseForm();
    item->setParent(stash);
}
