#include "countdownnotice.h"

#include <QTextEdit>

#include "dlgmessage.h"

CountdownNotice::CountdownNotice(QWidget *window, const QString &text, int seconds, QObject *parent)
    : QObject(parent)
    , dialog(new CDlgMessage(window, 2, text.arg(seconds)))
    , text(text)
    , secondsLeft(seconds)
{
    connect(dialog, &QDialog::finished, this, &CountdownNotice::closed);
    timer.setInterval(1000);
    connect(&timer, &QTimer::timeout, this, &CountdownNotice::tick);
    timer.start();
}

CountdownNotice::~CountdownNotice()
{
    if (dialog) {
        dialog->disconnect(this);
        delete dialog;
    }
}

void CountdownNotice::tick()
{
    if (--secondsLeft > 0) {
        dialog->findChild<QTextEdit *>(QStringLiteral("textEdit"))->setText(text.arg(secondsLeft));
        return;
    }
    expired = true;
    dialog->close();
}

void CountdownNotice::closed()
{
    timer.stop();
    const bool confirmedByUser = dialog->confirmed;
    dialog->deleteLater();
    if (expired || confirmedByUser)
        emit confirmed();
    else
        emit cancelled();
}
