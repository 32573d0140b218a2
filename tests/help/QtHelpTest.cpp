// The help window as the user meets it: opened at the keyword index, searched by typing,
// pages shown and followed; and the answers the program gets when the help is missing or
// broken.
#include "platform/qt/QtHelp.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHelpEngineCore>
#include <QHelpLink>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <algorithm>
#include <functional>

using kadrill::platform::HelpResult;
using kadrill::platform::qt::QtHelp;
using Status = HelpResult::Status;

namespace {

const QString kTitle = QStringLiteral("Kadrill ﾍﾙﾌﾟ");
constexpr int kIndexTimeoutMs = 10000;

QList<QWidget*> visibleHelpWindows() {
    QList<QWidget*> found;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->windowTitle() == kTitle)
            found << widget;
    return found;
}

QWidget* helpWindow() {
    const QList<QWidget*> windows = visibleHelpWindows();
    return windows.size() == 1 ? windows.front() : nullptr;
}

QStringList rows(const QListView* view) {
    QStringList texts;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        texts << view->model()->index(row, 0).data().toString();
    return texts;
}

// Latin letters come as key presses; Japanese text arrives as an input method commits it.
void type(QWidget* widget, const QString& text) {
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
        QTest::keyClicks(widget, text);
        return;
    }
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QCoreApplication::sendEvent(widget, &commit);
}

QString fileNameOf(const QTextBrowser* browser) { return browser->source().fileName(); }

/// The widgets of the open help window.
struct Window {
    QWidget* window = nullptr;
    QLineEdit* search = nullptr;
    QListView* index = nullptr;
    QListWidget* topics = nullptr;
    QTabWidget* tabs = nullptr;
    QTextBrowser* page = nullptr;

    static Window find() {
        Window w;
        w.window = helpWindow();
        if (!w.window)
            return w;
        w.search = w.window->findChild<QLineEdit*>(QStringLiteral("searchField"));
        w.index = w.window->findChild<QListView*>(QStringLiteral("keywordIndex"));
        w.topics = w.window->findChild<QListWidget*>(QStringLiteral("topicList"));
        w.tabs = w.window->findChild<QTabWidget*>(QStringLiteral("tabs"));
        w.page = w.window->findChild<QTextBrowser*>(QStringLiteral("pageView"));
        return w;
    }
    bool complete() const { return window && search && index && topics && tabs && page; }
};

struct FileStamp {
    qint64 size;
    QDateTime modified;
    bool operator==(const FileStamp&) const = default;
};

QMap<QString, FileStamp> stamps(const QString& dir) {
    QMap<QString, FileStamp> result;
    const auto entries = QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& info : entries)
        result.insert(info.fileName(), {info.size(), info.lastModified()});
    return result;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

/// Receives the links the help hands to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class QtHelpTest : public QObject {
    Q_OBJECT

private:
    QString collection_;
    QString document_;

    /// The pages the collection gives for a keyword, read apart from the window.
    QStringList pagesFor(const QString& keyword) const {
        QHelpEngineCore engine(collection_);
        engine.setReadOnly(true);
        QStringList pages;
        if (!engine.setupData())
            return pages;
        for (const QHelpLink& link : engine.documentsForKeyword(keyword))
            pages << link.url.fileName();
        return pages;
    }

    /// Copies the built collection into dir and returns the copy's collection file.
    QString copyCollection(const QString& dir) const {
        const QString copy = dir + QStringLiteral("/kadrill.qhc");
        if (!QFile::copy(collection_, copy) || !QFile::copy(document_, dir + QStringLiteral("/kadrill.qch")))
            return {};
        return copy;
    }

private slots:
    void initTestCase() {
        collection_ = qEnvironmentVariable("KADRILL_HELP_COLLECTION");
        QVERIFY2(QFileInfo(collection_).isFile(), qPrintable(collection_));
        document_ = QFileInfo(collection_).dir().filePath(QStringLiteral("kadrill.qch"));
        QVERIFY2(QFileInfo(document_).isFile(), qPrintable(document_));
    }

    void cleanup() { QTRY_VERIFY(visibleHelpWindows().isEmpty()); }

    void opensAtKeywordIndexWithEmptyFocusedSearch() {
        QtHelp help(collection_);
        const HelpResult result = help.showKeywordSearch();
        QCOMPARE(result.status, Status::Shown);
        QVERIFY(result.error.empty());

        const Window w = Window::find();
        QVERIFY(w.complete());
        QVERIFY(w.search->text().isEmpty());
        QCOMPARE(w.tabs->currentWidget(), w.search->parentWidget());
        QVERIFY(QTest::qWaitForWindowActive(w.window));
        QTRY_COMPARE(QApplication::focusWidget(), w.search);
        QTRY_VERIFY_WITH_TIMEOUT(w.index->model()->rowCount() > 100, kIndexTimeoutMs);
        QCOMPARE(fileNameOf(w.page), QStringLiteral("index.html"));
        QVERIFY(w.page->toPlainText().contains(QStringLiteral("Kadrill")));
        QVERIFY(w.topics->isHidden());
    }

    void typingNarrowsIndexAndEnterShowsPage_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("unlisted");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("pageText");

        // A part from the middle of a keyword.
        QTest::newRow("middle") << "ウォッチ"
                                << "ストップウォッチ"
                                << "ラーメン"
                                << "stopwatch.html"
                                << "1/100 秒";
        // Half-width typed, full-width keyword, and the reverse.
        QTest::newRow("half-width typed") << "ﾒﾆｭｰ"
                                          << "メニュー"
                                          << "アラーム"
                                          << "menus.html"
                                          << "アクセス キー";
        QTest::newRow("full-width typed") << "ＮＯＯＤＬＥ"
                                          << "noodle"
                                          << "alarm"
                                          << "ramen.html"
                                          << "３分たったよ。";
        // Hiragana find katakana.
        QTest::newRow("hiragana") << "とれい"
                                  << "システム トレイ"
                                  << "alarm"
                                  << "tray.html"
                                  << "通知領域";
        QTest::newRow("letter case") << "ALM"
                                     << ".alm"
                                     << "メニュー"
                                     << "alm-file.html"
                                     << "#07:30:00#";
        QTest::newRow("english") << "key"
                                 << "keyboard"
                                 << "help"
                                 << "key-sequence.html"
                                 << "{ENTER}";
    }

    void typingNarrowsIndexAndEnterShowsPage() {
        QFETCH(QString, typed);
        QFETCH(QString, listed);
        QFETCH(QString, unlisted);
        QFETCH(QString, page);
        QFETCH(QString, pageText);

        QtHelp help(collection_);
        QCOMPARE(help.showKeywordSearch().status, Status::Shown);
        const Window w = Window::find();
        QVERIFY(w.complete());

        // Typed at once, before the index has been read: it must still narrow it.
        type(w.search, typed);
        QTRY_VERIFY_WITH_TIMEOUT(rows(w.index).contains(listed), kIndexTimeoutMs);
        QVERIFY2(!rows(w.index).contains(unlisted), qPrintable(rows(w.index).join(u' ')));

        // Once the index is there, the best match is picked out.
        QTRY_VERIFY(w.index->currentIndex().isValid());
        QTest::keyClick(w.search, Qt::Key_Return);
        QCOMPARE(fileNameOf(w.page), page);
        QVERIFY2(w.page->toPlainText().contains(pageText), qPrintable(w.page->toPlainText().left(200)));
    }

    void keywordWithSeveralPagesOffersThemAll() {
        QtHelp help(collection_);
        QCOMPARE(help.showKeywordSearch().status, Status::Shown);
        const Window w = Window::find();
        QVERIFY(w.complete());

        type(w.search, QStringLiteral("リセット"));
        QTRY_VERIFY_WITH_TIMEOUT(rows(w.index).contains(QStringLiteral("リセット")), kIndexTimeoutMs);
        QTest::keyClick(w.search, Qt::Key_Return);

        QVERIFY(w.topics->isVisible());
        QCOMPARE(w.topics->count(), 2);
        const QString first = fileNameOf(w.page);
        w.topics->setCurrentRow(1);
        const QString second = fileNameOf(w.page);
        QCOMPARE(QSet<QString>({first, second}), QSet<QString>({"stopwatch.html", "ramen.html"}));

        // A keyword with one page puts the chooser away again.
        w.search->clear();
        type(w.search, QStringLiteral("カップ麺"));
        QTest::keyClick(w.search, Qt::Key_Return);
        QCOMPARE(fileNameOf(w.page), QStringLiteral("ramen.html"));
        QVERIFY(w.topics->isHidden());
    }

    void arrowKeysInSearchWalkTheIndexAndClickOpens() {
        QtHelp help(collection_);
        QCOMPARE(help.showKeywordSearch().status, Status::Shown);
        const Window w = Window::find();
        QVERIFY(w.complete());
        QTRY_VERIFY_WITH_TIMEOUT(w.index->model()->rowCount() > 3, kIndexTimeoutMs);

        QTest::keyClick(w.search, Qt::Key_Down);
        QTest::keyClick(w.search, Qt::Key_Down);
        QCOMPARE(w.index->currentIndex().row(), 1);
        QCOMPARE(QApplication::focusWidget(), w.search);
        QTest::keyClick(w.search, Qt::Key_Return);
        const QString second = w.index->model()->index(1, 0).data().toString();
        QVERIFY2(pagesFor(second).contains(fileNameOf(w.page)), qPrintable(second));

        const QModelIndex row = w.index->model()->index(3, 0);
        const QString fourth = row.data().toString();
        QTest::mouseClick(w.index->viewport(), Qt::LeftButton, {}, w.index->visualRect(row).center());
        QVERIFY2(pagesFor(fourth).contains(fileNameOf(w.page)), qPrintable(fourth));
    }

    void showingAgainKeepsOneWindowAndStartsTheSearchAfresh() {
        QtHelp help(collection_);
        QCOMPARE(help.showKeywordSearch().status, Status::Shown);
        const Window first = Window::find();
        QVERIFY(first.complete());
        QTest::keyClicks(first.search, QStringLiteral("alarm"));
        first.tabs->setCurrentIndex(1);
        first.window->showMinimized();

        QCOMPARE(help.showKeywordSearch().status, Status::Shown);
        QCOMPARE(visibleHelpWindows().size(), 1);
        const Window again = Window::find();
        QCOMPARE(again.window, first.window);
        QVERIFY(!again.window->isMinimized());
        QVERIFY(again.search->text().isEmpty());
        QCOMPARE(again.tabs->currentWidget(), again.search->parentWidget());
        QTRY_COMPARE(QApplication::focusWidget(), again.search);
    }

    void linksLeadBetweenPagesAndBack() {
        QtHelp help(collection_);
        QCOMPARE(help.showKeywordSearch().status, Status::Shown);
        const Window w = Window::find();
        QVERIFY(w.complete());
        QCOMPARE(fileNameOf(w.page), QStringLiteral("index.html"));

        // Follow the start page's first link from the keyboard, as a reader would.
        w.page->setFocus();
        QTest::keyClick(w.page, Qt::Key_Tab);
        QVERIFY(w.page->textCursor().hasSelection());
        QTest::keyClick(w.page, Qt::Key_Return);
        const QUrl followed = w.page->source();
        QCOMPARE(followed.scheme(), QStringLiteral("qthelp"));
        QVERIFY(followed.fileName() != QStringLiteral("index.html"));
        QVERIFY(!w.page->toPlainText().contains(QStringLiteral("ページが見つかりません")));
        QVERIFY(w.page->toPlainText().size() > 100);

        auto* back = w.window->findChild<QPushButton*>(QStringLiteral("backButton"));
        QVERIFY(back);
        QVERIFY(back->isEnabled());
        back->click();
        QCOMPARE(fileNameOf(w.page), QStringLiteral("index.html"));
    }

    void foreignLinksGoToTheDesktop() {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        QtHelp help(collection_);
        QCOMPARE(help.showKeywordSearch().status, Status::Shown);
        const Window w = Window::find();
        QVERIFY(w.complete());

        const QUrl foreign(QStringLiteral("https://example.org/kadrill"));
        w.page->setSource(foreign);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

        QCOMPARE(catcher.urls, QList<QUrl>{foreign});
        QCOMPARE(fileNameOf(w.page), QStringLiteral("index.html"));
    }

    void closingNeitherEndsNorHoldsTheProgram() {
        // Only a running event loop reports the last window closing, so each step runs
        // in one, with a deadline in case nothing ends it.
        const auto runUntilQuitOr = [](int milliseconds, const std::function<void()>& step) {
            QTimer::singleShot(0, qApp, step);
            QTimer deadline;
            deadline.setSingleShot(true);
            QObject::connect(&deadline, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
            deadline.start(milliseconds);
            return QCoreApplication::exec();
        };
        QApplication::setQuitOnLastWindowClosed(true);
        QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
        QtHelp help(collection_);
        QCOMPARE(help.showKeywordSearch().status, Status::Shown);
        QPointer<QWidget> window = helpWindow();
        QVERIFY(window);

        // Closing the help alone does not end the program...
        QCOMPARE(runUntilQuitOr(300, [&] { window->close(); }), 1);
        QCOMPARE(lastClosed.count(), 0);
        QTRY_VERIFY(window.isNull());

        // Closed means gone; asking again builds a fresh window at an empty search.
        QCOMPARE(help.showKeywordSearch().status, Status::Shown);
        const Window w = Window::find();
        QVERIFY(w.complete());
        QVERIFY(w.search->text().isEmpty());

        // An open help does not keep the program running once its main window closes.
        QWidget mainWindow;
        mainWindow.show();
        QCOMPARE(runUntilQuitOr(5000, [&] { mainWindow.close(); }), 0);
        QApplication::setQuitOnLastWindowClosed(false);
        QCOMPARE(lastClosed.count(), 1);
    }

    void nothingIsWrittenBesideTheCollection() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString copy = copyCollection(dir.path());
        QVERIFY(!copy.isEmpty());
        const auto before = stamps(dir.path());
        {
            QtHelp help(copy);
            QCOMPARE(help.showKeywordSearch().status, Status::Shown);
            const Window w = Window::find();
            QVERIFY(w.complete());
            QTRY_VERIFY_WITH_TIMEOUT(w.index->model()->rowCount() > 0, kIndexTimeoutMs);
            QTest::keyClicks(w.search, QStringLiteral("alarm"));
            QTest::keyClick(w.search, Qt::Key_Return);
        }
        QCOMPARE(stamps(dir.path()), before);
    }

    void missingHelpIsReportedAsMissing_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("no such file") << QStringLiteral("/nonexistent/kadrill.qhc");
        QTest::newRow("no path") << QString();
        QTest::newRow("a folder") << QDir::tempPath();
    }

    void missingHelpIsReportedAsMissing() {
        QFETCH(QString, path);
        QtHelp help(path);
        const HelpResult result = help.showKeywordSearch();
        QCOMPARE(result.status, Status::Missing);
        QVERIFY(visibleHelpWindows().isEmpty());
    }

    void brokenHelpFailsWithAReasonAndNoWindow_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("detail");
        QTest::newRow("garbage") << "garbage"
                                 << "not a database";
        QTest::newRow("truncated") << "truncated"
                                   << "kadrill.qhc";
        QTest::newRow("empty file") << "empty"
                                    << "kadrill.qhc";
        QTest::newRow("content file missing") << "no content"
                                              << "kadrill.qch";
        QTest::newRow("content file garbage") << "garbage content"
                                              << "kadrill.qch";
    }

    void brokenHelpFailsWithAReasonAndNoWindow() {
        QFETCH(QString, damage);
        QFETCH(QString, detail);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString copy = copyCollection(dir.path());
        QVERIFY(!copy.isEmpty());
        const QString content = dir.filePath(QStringLiteral("kadrill.qch"));
        QByteArray garbage(8192, '\0');
        for (int i = 0; i < garbage.size(); ++i)
            garbage[i] = static_cast<char>((i * 7919 + 13) % 251);

        if (damage == QLatin1String("garbage")) {
            QVERIFY(writeFile(copy, garbage));
        } else if (damage == QLatin1String("truncated")) {
            QFile original(collection_);
            QVERIFY(original.open(QIODevice::ReadOnly));
            QVERIFY(writeFile(copy, original.read(original.size() / 3)));
        } else if (damage == QLatin1String("empty")) {
            QVERIFY(writeFile(copy, {}));
        } else if (damage == QLatin1String("no content")) {
            QVERIFY(QFile::remove(content));
        } else {
            QVERIFY(writeFile(content, garbage));
        }

        QtHelp help(copy);
        const HelpResult result = help.showKeywordSearch();
        QCOMPARE(result.status, Status::Failed);
        const QString error = QString::fromStdString(result.error);
        QVERIFY2(error.startsWith(QStringLiteral("ヘルプを開けません。")), qPrintable(error));
        QVERIFY2(error.contains(detail), qPrintable(error));
        QVERIFY(visibleHelpWindows().isEmpty());
    }

    void failsWithoutSqliteDriver() {
        if (qEnvironmentVariableIsEmpty("KADRILL_TEST_WITHOUT_SQLITE"))
            QSKIP("runs in a process of its own (help_window_without_sqlite)");
        QTemporaryDir noPlugins;
        QCoreApplication::setLibraryPaths({noPlugins.path()});

        QtHelp help(collection_);
        const HelpResult result = help.showKeywordSearch();
        QCOMPARE(result.status, Status::Failed);
        QVERIFY2(QString::fromStdString(result.error).contains(QStringLiteral("SQLite")), result.error.c_str());
        QVERIFY(visibleHelpWindows().isEmpty());
    }
};

QTEST_MAIN(QtHelpTest)
#include "QtHelpTest.moc"
