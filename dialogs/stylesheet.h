#pragma once

class QString;
class QWidget;

// Applies the style sheet stored at a resource path to a widget. The bytes
// up to the first NUL are taken as Latin-1; a sheet that cannot be opened
// leaves the widget unstyled and is not reported.
void loadStyleSheet(QWidget *widget, const QString &path);
