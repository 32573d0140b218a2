#include "platform/log/LogCategories.h"

// Warnings and above by default: info and debug stay off unless the rules enable them.
Q_LOGGING_CATEGORY(lcAlarm, "kadrill.alarm", QtWarningMsg)
Q_LOGGING_CATEGORY(lcKeys, "kadrill.keys", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSound, "kadrill.sound", QtWarningMsg)
Q_LOGGING_CATEGORY(lcTime, "kadrill.time", QtWarningMsg)
Q_LOGGING_CATEGORY(lcTray, "kadrill.tray", QtWarningMsg)
Q_LOGGING_CATEGORY(lcHelp, "kadrill.help", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFiles, "kadrill.files", QtWarningMsg)
Q_LOGGING_CATEGORY(lcAutostart, "kadrill.autostart", QtWarningMsg)
