#include "QtWindowSystem.h"

#include "QtSurface.h"
#include "QtWindow.h"

#include <QAccessible>
#include <QFont>

namespace kadrill::platform::qt {

QtWindowSystem::QtWindowSystem(QtDispatcher& dispatcher) : dispatcher_(dispatcher) {
    // The faces name the Japanese system font of their home desktop; IPA's proportional
    // gothic has the same metrics role and carries the ♪.
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&Surface::accessibleFactory);
        return true;
    }();
    (void)factoryInstalled;
}

// Qt's bridge is active while a screen reader (or anything on the accessibility bus) listens.
bool QtWindowSystem::isAccessibilityActive() const { return QAccessible::isActive(); }

std::unique_ptr<Window> QtWindowSystem::createWindow(const WindowProperties& props) {
    return std::make_unique<QtWindow>(dispatcher_, props);
}

} // namespace kadrill::platform::qt
