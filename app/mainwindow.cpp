#include "mainwindow.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QIcon>
#include <QMouseEvent>
#include <QUrl>

#include "links.h"
#include "styleconstants.h"
#include "stylesheet.h"
#include "windowplacement.h"

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    ui.setupUi(this);
    setMinimumSize(800, 510);
    setMaximumSize(800, 510);
    centreOnDesktop(this);
    initConfig();
    initUi();
    initConnect();
    showNormal();
}

MainWindow::~MainWindow() = default;

void MainWindow::initConfig()
{
    setMainState(MainStateEmpty);
}

void MainWindow::initUi()
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    loadStyleSheet(this, QStringLiteral(":/qss/css/MainWindow.css"));
    setWindowTitle(QStringLiteral("Vantor视频转换器"));
    ui.mainLabelLogoStr->setText(QStringLiteral("Vantor视频转换器 v3.1.3"));
    setWindowIcon(QIcon(QStringLiteral(":/images/images/main.ico")));
    ui.stackInput->setCurrentIndex(0);
    setAcceptDrops(true);
    ui.applyAll->setCheckable(true);
    ui.applyAll->setChecked(true);
    ui.cboxVContainer->setFocusPolicy(Qt::NoFocus);
    ui.cboxVQuality->setFocusPolicy(Qt::NoFocus);
    ui.cboxAQuality->setFocusPolicy(Qt::NoFocus);
}

void MainWindow::initConnect()
{
}

void MainWindow::setMainState(int state)
{
    const char *style = nullptr;
    switch (state) {
    case MainStateEmpty:
        style = convertDisableStyle;
        break;
    case MainStateReady:
        style = convertStartStyle;
        break;
    case MainStateConverting:
        style = convertStopStyle;
        break;
    default:
        return;
    }
    const bool running = state == MainStateConverting;
    ui.stackInput->setCurrentIndex(state == MainStateEmpty ? 0 : 1);
    ui.btnConvertStart->setText(running ? QStringLiteral("取消转码") : QStringLiteral("开始转码"));
    ui.btnConvertStart->setStyleSheet(QString::fromLatin1(style));
    converting = running;
    for (QWidget *control : {static_cast<QWidget *>(ui.applyAll),
                             static_cast<QWidget *>(ui.cboxVContainer),
                             static_cast<QWidget *>(ui.btnQualitySettings),
                             static_cast<QWidget *>(ui.cboxVQuality),
                             static_cast<QWidget *>(ui.cboxAQuality),
                             static_cast<QWidget *>(ui.btnOutputDir)})
        control->setEnabled(!running);
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    QMainWindow::mousePressEvent(event);
    pressPos = event->pos();
    dragging = true;
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    QMainWindow::mouseReleaseEvent(event);
    dragging = false;
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    QMainWindow::mouseMoveEvent(event);
    if (dragging)
        move(event->globalPos() - pressPos);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
}

void MainWindow::on_btnCompanyUrl_clicked()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(companySiteUrl), QUrl::TolerantMode));
}

void MainWindow::on_btnQqUrl_clicked()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(communityGroupUrl), QUrl::TolerantMode));
}

void MainWindow::on_btnTopMin_clicked()
{
    showMinimized();
}

void MainWindow::on_btnTopClose_clicked()
{
    close();
}
