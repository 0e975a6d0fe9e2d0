#pragma once

#include <QMainWindow>
#include <QPoint>

#include "ui_mainwindow.h"

// The one main window: frameless, fixed at 800 x 510, with its own title
// strip. It owns the input list, the conversion queue, the settings bar and
// the preview player.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    enum MainState {
        MainStateEmpty = 0,
        MainStateReady = 1,
        MainStateConverting = 2,
    };

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void setMainState(int state);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_btnCompanyUrl_clicked();
    void on_btnQqUrl_clicked();
    void on_btnTopMin_clicked();
    void on_btnTopClose_clicked();

private:
    void initConfig();
    void initUi();
    void initConnect();

    Ui::MainWindowClass ui;
    bool converting = false;
    bool dragging = false;
    QPoint pressPos;
};
