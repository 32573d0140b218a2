#pragma once

// Where technical failure reasons go, from every backend (Qt, X11, D-Bus, SDL) alike. The
// user only ever sees the fixed message box; the reason behind it is logged here with
// qCInfo, silent unless QT_LOGGING_RULES turns it on (for example
// QT_LOGGING_RULES="kadrill.*.info=true").
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcAlarm)
Q_DECLARE_LOGGING_CATEGORY(lcKeys)
Q_DECLARE_LOGGING_CATEGORY(lcSound)
Q_DECLARE_LOGGING_CATEGORY(lcTime)
Q_DECLARE_LOGGING_CATEGORY(lcTray)
Q_DECLARE_LOGGING_CATEGORY(lcHelp)
Q_DECLARE_LOGGING_CATEGORY(lcFiles)
Q_DECLARE_LOGGING_CATEGORY(lcAutostart)
