#pragma once

#include <QDialog>
#include <QPoint>

namespace Ui {
class CDlgMessage;
}

// The one modal dialog for confirmations and notices. Mode 1 shows only
// "确定"; any other mode shows "确定" and "取消". The caller runs exec() and
// then reads confirmed, which only the OK button sets.
class CDlgMessage final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDlgMessage)

public:
    CDlgMessage(QWidget *parent, int mode, QString text);
    ~CDlgMessage() override;

    bool confirmed = false;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private slots:
    void on_btnTopClose_clicked();
    void on_btnOk_clicked();
    void on_btnCancel_clicked();

private:
    Ui::CDlgMessage *ui;
    bool dragging = false;
    QPoint pressPos;
};
