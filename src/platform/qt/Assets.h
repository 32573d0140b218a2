#pragma once

#include <QIcon>
#include <QPixmap>

#include <string>

namespace kadrill::platform::qt {

/// The picture of the given name (its file name in assets/ without ".xpm"), compiled
/// into the program; a null pixmap for an unknown name.
QPixmap assetPixmap(const std::string& name);

/// An icon from every size drawn of it: the pictures named `name`-16, `name`-32 and so on.
QIcon assetIcon(const std::string& name);

} // namespace kadrill::platform::qt
