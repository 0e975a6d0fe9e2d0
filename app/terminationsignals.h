#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C in a terminal, a
// closed terminal) into a Qt signal on the GUI thread, so that a run is
// cancelled cleanly, partial files removed, before the program exits. A
// signal that was ignored when the program started stays ignored. One
// instance at a time receives them; the handlers before it return when it
// goes.
class TerminationSignals final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TerminationSignals)

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signal);

private slots:
    void readSignal();

private:
    QSocketNotifier *notifier = nullptr;
};
