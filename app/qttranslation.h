#pragma once

class QCoreApplication;

// Loads Qt's own Simplified Chinese texts (qtbase_zh_CN, from the
// qttranslations5-l10n package), so that the standard file dialogs speak the
// program's language. Without the file they stay English.
void installQtTranslation(QCoreApplication &application);
