#pragma once

#include <QApplication>
#include <QByteArray>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QPushButton>
#include <QStringList>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "dlgmessage.h"

// Median of a handful of samples.
inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The value below which the given fraction of the samples lies.
inline double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(fraction * double(values.size())));
    return values[at];
}

// A line of /proc/self/status in kB ("VmRSS", "VmHWM").
inline double statusKilobytes(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key) + 1).trimmed().split(' ').first().toDouble();
    }
    return -1;
}

// Answers every message dialog with OK the moment it is shown and notes the
// time, so that a run's end is seen without a polling delay.
class ShowAnswerer final : public QObject
{
public:
    explicit ShowAnswerer(const QElapsedTimer &clock) : clock(clock) { qApp->installEventFilter(this); }
    ~ShowAnswerer() override { qApp->removeEventFilter(this); }

    QStringList texts;
    qint64 lastShownNs = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *dialog = qobject_cast<CDlgMessage *>(watched);
        if (dialog && event->type() == QEvent::Show) {
            lastShownNs = clock.nsecsElapsed();
            texts << dialog->findChild<QTextEdit *>(QStringLiteral("textEdit"))->toPlainText();
            QTimer::singleShot(0, dialog, [dialog] {
                dialog->findChild<QPushButton *>(QStringLiteral("btnOk"))->click();
            });
        }
        return false;
    }

private:
    const QElapsedTimer &clock;
};
