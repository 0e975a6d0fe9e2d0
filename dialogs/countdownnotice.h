#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class CDlgMessage;
class QWidget;

// A notice in the message dialog whose text counts down each second. "确定",
// or the count reaching zero, confirms it; "取消" or the close button cancels
// it. It is shown without waiting for it (window-modal, not exec()), so that
// the window's other dialogs can open while it counts.
class CountdownNotice final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CountdownNotice)

public:
    // `text` holds %1 for the seconds left.
    CountdownNotice(QWidget *window, const QString &text, int seconds, QObject *parent = nullptr);
    // A dialog still open goes without a signal.
    ~CountdownNotice() override;

signals:
    void confirmed();
    void cancelled();

private:
    void tick();
    void closed();

    QPointer<CDlgMessage> dialog;
    QTimer timer;
    QString text;
    int secondsLeft;
    bool expired = false;
};
