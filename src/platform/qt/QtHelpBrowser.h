#pragma once

#include <QTextBrowser>

class QHelpEngineCore;

namespace kadrill::platform::qt {

/// Shows help pages straight out of the help collection (qthelp:// addresses); links
/// between pages stay inside, links to anything else go to the desktop's own programs.
class QtHelpBrowser final : public QTextBrowser {
public:
    QtHelpBrowser(const QHelpEngineCore& engine, QWidget* parent);

    QVariant loadResource(int type, const QUrl& name) override;

protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

private:
    const QHelpEngineCore& engine_;
};

} // namespace kadrill::platform::qt
