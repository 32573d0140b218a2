// The help as built: every page made it into the collection unchanged, and every way into
// a page (keyword, table of contents, link) arrives at a page and a place that exist.
#include "platform/qt/QtHelpKeywordFilter.h"

#include <QDir>
#include <QFile>
#include <QHelpContentModel>
#include <QHelpEngine>
#include <QHelpIndexModel>
#include <QHelpLink>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using kadrill::platform::qt::QtHelpKeywordFilter;

namespace {

const QString kRoot = QStringLiteral("qthelp://org.kadrill.help/kadrill/");
constexpr int kLoadTimeoutMs = 10000;

/// Where a reference goes wrong, or empty when it arrives.
QString checkTarget(const QHelpEngineCore& engine, const QUrl& url) {
    const QByteArray page = engine.fileData(url.adjusted(QUrl::RemoveFragment));
    if (page.isEmpty())
        return QStringLiteral("no page %1").arg(url.toString());
    const QString fragment = url.fragment();
    if (fragment.isEmpty())
        return {};
    const QRegularExpression anchor(QStringLiteral("(id|name)=\"%1\"").arg(QRegularExpression::escape(fragment)));
    if (!anchor.match(QString::fromUtf8(page)).hasMatch())
        return QStringLiteral("no place #%1 in %2").arg(fragment, url.fileName());
    return {};
}

} // namespace

class HelpContentTest : public QObject {
    Q_OBJECT

private:
    QString sourceDir_;
    std::unique_ptr<QHelpEngine> engine_;
    QStringList pages_;    ///< the HTML pages of the source folder
    QStringList keywords_; ///< the keyword index of the collection

private slots:
    void initTestCase() {
        sourceDir_ = qEnvironmentVariable("KADRILL_HELP_SOURCE_DIR");
        pages_ = QDir(sourceDir_).entryList({QStringLiteral("*.html")}, QDir::Files);
        QVERIFY2(pages_.contains(QStringLiteral("index.html")), qPrintable(sourceDir_));

        engine_ = std::make_unique<QHelpEngine>(qEnvironmentVariable("KADRILL_HELP_COLLECTION"));
        engine_->setReadOnly(true);
        QSignalSpy indexed(engine_->indexModel(), &QHelpIndexModel::indexCreated);
        QSignalSpy contented(engine_->contentModel(), &QHelpContentModel::contentsCreated);
        QVERIFY2(engine_->setupData(), qPrintable(engine_->error()));
        QTRY_VERIFY_WITH_TIMEOUT(indexed.count() > 0 && contented.count() > 0, kLoadTimeoutMs);
        keywords_ = engine_->indexModel()->stringList();
        QVERIFY(!keywords_.isEmpty());
    }

    void cleanupTestCase() { engine_.reset(); }

    void everySourceFileIsInTheCollectionUnchanged() {
        const QStringList files = QDir(sourceDir_).entryList({"*.html", "*.css"}, QDir::Files);
        for (const QString& name : files) {
            QFile source(QDir(sourceDir_).filePath(name));
            QVERIFY(source.open(QIODevice::ReadOnly));
            QVERIFY2(engine_->fileData(QUrl(kRoot + name)) == source.readAll(),
                     qPrintable(name + QStringLiteral(" is missing from the collection or out of date")));
        }
    }

    void everyKeywordArrives() {
        QStringList wrong;
        for (const QString& keyword : std::as_const(keywords_)) {
            const QList<QHelpLink> links = engine_->documentsForKeyword(keyword);
            if (links.isEmpty())
                wrong << keyword + QStringLiteral(": no page");
            for (const QHelpLink& link : links)
                if (const QString problem = checkTarget(*engine_, link.url); !problem.isEmpty())
                    wrong << keyword + QStringLiteral(": ") + problem;
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    }

    void everyPageCanBeFoundByKeyword() {
        QSet<QString> reached;
        for (const QString& keyword : std::as_const(keywords_))
            for (const QHelpLink& link : engine_->documentsForKeyword(keyword))
                reached << link.url.fileName();
        QStringList unreached;
        for (const QString& page : std::as_const(pages_))
            if (!reached.contains(page))
                unreached << page;
        QVERIFY2(unreached.isEmpty(), qPrintable(unreached.join(u' ')));
    }

    void keywordsDoNotRepeatInAnotherForm() {
        // The search treats half- and full-width forms, kana and case alike; two keywords
        // that differ only so would show as a puzzling pair.
        QMultiMap<QString, QString> byKey;
        for (const QString& keyword : std::as_const(keywords_))
            byKey.insert(QtHelpKeywordFilter::searchKey(keyword), keyword);
        QStringList twins;
        for (const QString& key : byKey.uniqueKeys())
            if (byKey.count(key) > 1)
                twins << QStringList(byKey.values(key)).join(QStringLiteral(" / "));
        QVERIFY2(twins.isEmpty(), qPrintable(twins.join(u'\n')));
    }

    void everyContentsEntryArrivesAndListsEveryPage() {
        QHelpContentModel* contents = engine_->contentModel();
        QStringList wrong;
        QSet<QString> listed;
        QList<QModelIndex> pending{contents->index(0, 0)};
        while (!pending.isEmpty()) {
            const QModelIndex index = pending.takeFirst();
            const QHelpContentItem* item = contents->contentItemAt(index);
            QVERIFY(item);
            listed << item->url().fileName();
            if (const QString problem = checkTarget(*engine_, item->url()); !problem.isEmpty())
                wrong << item->title() + QStringLiteral(": ") + problem;
            for (int row = 0; row < contents->rowCount(index); ++row)
                pending << contents->index(row, 0, index);
        }
        for (const QString& page : std::as_const(pages_))
            if (!listed.contains(page))
                wrong << page + QStringLiteral(": not in the table of contents");
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    }

    void everyLinkArrives() {
        const QRegularExpression href(QStringLiteral("<a\\s[^>]*href=\"([^\"]+)\""));
        QStringList wrong;
        for (const QString& page : std::as_const(pages_)) {
            const QUrl base(kRoot + page);
            const QString html = QString::fromUtf8(engine_->fileData(base));
            for (auto it = href.globalMatch(html); it.hasNext();) {
                const QUrl target = base.resolved(QUrl(it.next().captured(1)));
                if (target.scheme() != QLatin1String("qthelp"))
                    continue;
                if (const QString problem = checkTarget(*engine_, target); !problem.isEmpty())
                    wrong << page + QStringLiteral(": ") + problem;
            }
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    }

    void pagesHaveDistinctTitles() {
        // A keyword with several pages offers them by title.
        const QRegularExpression title(QStringLiteral("<title>([^<]+)</title>"));
        QMap<QString, QString> pageByTitle;
        for (const QString& page : std::as_const(pages_)) {
            const QString html = QString::fromUtf8(engine_->fileData(QUrl(kRoot + page)));
            QVERIFY2(html.contains(QStringLiteral("<meta charset=\"utf-8\">")), qPrintable(page));
            const QString text = title.match(html).captured(1).trimmed();
            QVERIFY2(!text.isEmpty(), qPrintable(page));
            QVERIFY2(!pageByTitle.contains(text), qPrintable(page + QStringLiteral(" and ") + pageByTitle.value(text)));
            pageByTitle.insert(text, page);
        }
    }
};

QTEST_MAIN(HelpContentTest)
#include "HelpContentTest.moc"
