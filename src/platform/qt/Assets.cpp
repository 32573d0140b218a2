#include "QtControls.h"

#include <QHash>

// Built straight from the XPM sources: no resource files, no image-format plugins.
#include "btn-alarm.xpm"
#include "btn-alarmon.xpm"
#include "btn-display.xpm"
#include "btn-lap.xpm"
#include "btn-mode.xpm"
#include "btn-reset.xpm"
#include "btn-set.xpm"
#include "btn-start.xpm"
#include "btn-stop.xpm"
#include "face.xpm"
#include "kadrill-16.xpm"
#include "kadrill-32.xpm"

namespace kadrill::platform::qt {

QPixmap assetPixmap(const std::string& name) {
    static const QHash<QString, const char* const*> pictures = {
        {QStringLiteral("btn-alarm"), btn_alarm_xpm},     {QStringLiteral("btn-alarmon"), btn_alarmon_xpm},
        {QStringLiteral("btn-display"), btn_display_xpm}, {QStringLiteral("btn-lap"), btn_lap_xpm},
        {QStringLiteral("btn-mode"), btn_mode_xpm},       {QStringLiteral("btn-reset"), btn_reset_xpm},
        {QStringLiteral("btn-set"), btn_set_xpm},         {QStringLiteral("btn-start"), btn_start_xpm},
        {QStringLiteral("btn-stop"), btn_stop_xpm},       {QStringLiteral("face"), face_xpm},
        {QStringLiteral("kadrill-16"), kadrill_16_xpm},   {QStringLiteral("kadrill-32"), kadrill_32_xpm},
    };
    const auto it = pictures.find(QString::fromStdString(name));
    return it == pictures.end() ? QPixmap() : QPixmap(it.value());
}

} // namespace kadrill::platform::qt
