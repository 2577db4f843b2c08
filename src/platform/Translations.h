#pragma once

// Qt's own texts (standard buttons, file dialogs) in Chinese, as the rest of the programs.

class QCoreApplication;

// Installs Qt's simplified Chinese catalogue on app; false when it is not installed.
bool LoadQtChinese(QCoreApplication& app);
