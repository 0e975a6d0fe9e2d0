#pragma once

class QString;
class QWidget;

// Wherever the device pixel ratio is above 1, Qt draws a style sheet's
// picture NAME.png from NAME@2x.png when the collection has one, but it
// applies a border-image rule's cut offsets to the file it loaded. Offsets
// written for NAME.png would then cut the wrong rows out of a strip of
// states, so they are scaled to the file Qt draws from.

// 2 when Qt draws the widget's pictures from their @2x files, else 1.
int pictureScaleOf(const QWidget *widget);

// The sheet with the cut offsets of every picture that has an @2x file
// multiplied by the scale; other rules and other pictures stay as they are.
QString scaleSheetCuts(const QString &sheet, int scale);

// setStyleSheet with the cut offsets scaled to the pictures Qt draws.
void setScaledStyleSheet(QWidget *widget, const QString &sheet);
