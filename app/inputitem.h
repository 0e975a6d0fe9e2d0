#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QSize>
#include <QString>
#include <QWidget>

#include "avsettings.h"
#include "transcodejob.h"
#include "ui_inputitem.h"

// One row of the input list, showing the conversion job of its file.
//
// The row itself is the labels (name, size, what the file becomes, status),
// the progress bar and the delete button. Everything about the conversion (command, child
// process, output parsing, state, verdict) is the TranscodeJob it owns; the
// job methods below only forward to it, so that the window and the queue
// can treat a row as its job.
//
// A long list builds the form of a row only while the row is in view
// (FormWhenShown, ensureForm, releaseForm): out of sight a row is its job
// and the texts it would show.
class InputItem final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InputItem)

public:
    enum FormMode {
        FormNow = 0,
        FormWhenShown = 1,
    };

    // A row takes its look from the list when the list carries the rows'
    // sheet (see shareStyleSheet), and loads the sheet itself otherwise.
    explicit InputItem(QWidget *parent = nullptr, FormMode mode = FormNow);
    ~InputItem() override;

    // The size of a row's form, known without building one.
    static QSize rowSize();
    // Builds the form showing the job as it stands, if it is not there.
    void ensureForm();
    // Drops the form; the row keeps its job and texts and can build it again.
    void releaseForm();
    bool hasForm() const { return formBuilt; }

    // Gives a list the rows' sheet once, so that each row of it does not
    // parse and hold a copy of its own.
    static void shareStyleSheet(QWidget *list);

    // Binds the row to a file and shows its name and size: ResultOk, or
    // ResultUnusable when no file is there (nothing changes then).
    int setInputFile(const QByteArray &path, const AVSettings &settings);
    // Binds the row to a file that is not there now; it says "源文件不存在"
    // and is never converted.
    void setAbsentInputFile(const QByteArray &path, const AVSettings &settings);

    // Job, forwarded.
    int startConvert();
    // The same with another output path; the queue uses it so that two jobs
    // of one run never write the same file.
    int startConvert(const QByteArray &outputPath);
    QByteArray plannedOutputPath() const { return conversion->plannedOutputPath(); }
    int stopConvert() { return conversion->stop(); }
    int convertState() const { return conversion->state(); }
    AVSettings &settings() { return conversion->settings(); }
    void setSettings(const AVSettings &settings) { conversion->setSettings(settings); }
    const QByteArray &inputPath() const { return conversion->inputPath(); }
    const QByteArray &outputPath() const { return conversion->outputPath(); }
    const QByteArray &partialPath() const { return conversion->partialPath(); }
    const QByteArray &errorText() const { return conversion->errorText(); }
    const QByteArray &warningText() const { return conversion->warningText(); }
    bool ranOutOfSpace() const { return conversion->ranOutOfSpace(); }
    const QByteArray &startErrorText() const { return conversion->startErrorText(); }
    void setTranscoderProgram(const QByteArray &program) { conversion->setTranscoderProgram(program); }
    TranscodeJob *job() const { return conversion; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void ItemConvertDone(InputItem *item);
    void ItemDelete(InputItem *item);

private slots:
    void btnDel_clicked();
    void showState(int state);
    void showProgress(int value);
    void jobFinished();

private:
    void showFile();
    // The source's length and what it becomes, worked out again only when
    // the settings or the record changed and the row is in view.
    void showTarget();
    // Cuts it to the label's width, whole in the tooltip.
    void fitTarget();
    // The whole source path, and the output's once the job is done, over
    // the row (the status label keeps its own).
    void showPaths(int state);

    Ui::InputItem ui{};
    TranscodeJob *conversion;
    bool formBuilt = false;
    int percent = 0;
    QString nameText;
    QString sizeText;
    QString targetLine;
    bool targetStale = true;
};

Q_DECLARE_METATYPE(InputItem *)
