#include "platform/qt/QtHelpBrowser.h"

#include <QDesktopServices>
#include <QHelpEngineCore>

namespace kadrill::platform::qt {

namespace {

const QString kHelpScheme = QStringLiteral("qthelp");

bool isHelpPage(const QUrl& url) { return url.isRelative() || url.scheme() == kHelpScheme; }

} // namespace

QtHelpBrowser::QtHelpBrowser(const QHelpEngineCore& engine, QWidget* parent) : QTextBrowser(parent), engine_(engine) {
    // Links are followed by doSetSource, which keeps foreign ones out of the page view.
    setOpenLinks(true);
    setOpenExternalLinks(false);
}

QVariant QtHelpBrowser::loadResource(int type, const QUrl& name) {
    if (name.scheme() != kHelpScheme)
        return QTextBrowser::loadResource(type, name);

    const QByteArray bytes = engine_.fileData(name);
    if (type == QTextDocument::HtmlResource) {
        if (bytes.isEmpty())
            return QStringLiteral("<html><body><h1>ページが見つかりません</h1><p>%1</p></body></html>")
                .arg(name.toString().toHtmlEscaped());
        // The pages are UTF-8; saying so spares the browser guessing from a meta tag.
        return QString::fromUtf8(bytes);
    }
    if (type == QTextDocument::StyleSheetResource)
        return QString::fromUtf8(bytes);
    return bytes;
}

void QtHelpBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
    if (!isHelpPage(name)) {
        QDesktopServices::openUrl(name);
        return;
    }
    QTextBrowser::doSetSource(name, type);
}

} // namespace kadrill::platform::qt
