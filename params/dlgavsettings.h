#pragma once

#include <QDialog>
#include <QPoint>

#include "avsettings.h"
#include "mediainfo.h"

namespace Ui {
class CDlgAVSettings;
}

// Edits every transcoding parameter of one settings record. The caller calls
// setSettings once, runs exec(), and takes settings back only when confirmed.
class CDlgAVSettings final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDlgAVSettings)

public:
    explicit CDlgAVSettings(QWidget *parent);
    ~CDlgAVSettings() override;

    void setSettings(AVSettings record);
    // The file whose tracks "音轨" and "字幕" list; none lists only the
    // choices every file has.
    void setMedia(const MediaInfo &media);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private slots:
    void on_btnTopClose_clicked();
    void on_btnOk_clicked();
    void on_btnCancel_clicked();
    void cboxVC_changed(const QString &text);
    void cboxVQL_changed(const QString &text);
    void cboxCV_changed(const QString &text);
    void cboxR_changed(const QString &text);
    void cboxCRF_changed(const QString &text);
    void cboxBV_changed(const QString &text);
    void cboxFPS_changed(const QString &text);
    void cboxAQL_changed(const QString &text);
    void cboxCA_changed(const QString &text);
    void cboxBA_changed(const QString &text);
    void cboxAR_changed(const QString &text);
    void cboxAT_changed(int index);
    void cboxST_changed(int index);
    void chkCopy_toggled(bool checked);

private:
    void fillFixedCombos();
    void connectCombos();
    void refreshCodecLists();
    void refreshVideo();
    void refreshAudio();
    void refreshTracks();

    Ui::CDlgAVSettings *ui;

public:
    bool confirmed = false;

private:
    bool dragging = false;
    QPoint pressPos;
    MediaInfo source;
    bool filled = false;

public:
    AVSettings settings{};
};
