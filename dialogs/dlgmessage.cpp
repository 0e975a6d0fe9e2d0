#include "dlgmessage.h"
#include "ui_dlgmessage.h"

#include <QMouseEvent>

#include "stylesheet.h"
#include "windowplacement.h"

CDlgMessage::CDlgMessage(QWidget *parent, int mode, QString text)
    : QDialog(parent)
    , ui(new Ui::CDlgMessage)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setWindowModality(Qt::WindowModal);
    loadStyleSheet(this, QStringLiteral(":/qss/css/DlgMessage.css"));
    ui->textEdit->setText(text);
    if (mode == 1)
        ui->btnCancel->hide();
    centreOnDesktop(this);
    show();
}

CDlgMessage::~CDlgMessage()
{
    delete ui;
}

void CDlgMessage::mousePressEvent(QMouseEvent *event)
{
    QDialog::mousePressEvent(event);
    pressPos = event->pos();
    dragging = true;
}

void CDlgMessage::mouseReleaseEvent(QMouseEvent *event)
{
    QDialog::mouseReleaseEvent(event);
    dragging = false;
}

void CDlgMessage::mouseMoveEvent(QMouseEvent *event)
{
    QDialog::mouseMoveEvent(event);
    if (dragging)
        move(event->globalPos() - pressPos);
}

void CDlgMessage::on_btnTopClose_clicked()
{
    close();
}

void CDlgMessage::on_btnOk_clicked()
{
    confirmed = true;
    close();
}

void CDlgMessage::on_btnCancel_clicked()
{
    close();
}
