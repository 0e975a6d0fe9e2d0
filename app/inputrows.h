#pragma once

#include <QObject>
#include <QVector>

class InputItem;
class QListWidget;
class QListWidgetItem;
class QWidget;

// The input list's rows: one InputItem for each row of the list, of which
// only the rows in view carry their form. The list itself lays out and
// paints plain rows of the form's size; the forms are placed over the rows
// in view and follow the list's scrolling, resizing and changes, so that a
// row out of sight costs its job and little more, however long the list.
class InputRows final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InputRows)

public:
    explicit InputRows(QListWidget *list);

    // A row for the list, not listed yet: it has no form until it is in view.
    InputItem *makeItem() const;
    // Takes a row made by makeItem into the list, at its end.
    void append(InputItem *item);
    // Deletes the row; it may be delivering the event that asked for this.
    void remove(InputItem *item);
    // Deletes every row.
    void clear();

    InputItem *itemAt(int row) const;
    static InputItem *itemOf(const QListWidgetItem *entry);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void schedulePlace();
    void place();
    void show(InputItem *item, const QRect &rect);
    void park(InputItem *item);

    QListWidget *list;
    // Holds the rows out of view: apart from the viewport, whose scrolling
    // moves every child it has, but inside the list, whose sheet they share.
    QWidget *stash;
    QVector<InputItem *> shown;
    bool placePending = false;
};
