#include "platform/qt/QtHelpWindow.h"

#include "platform/qt/OutermostLoop.h"

#include "platform/qt/QtHelpBrowser.h"
#include "platform/qt/QtHelpKeywordFilter.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHelpContentItem>
#include <QHelpContentModel>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexModel>
#include <QHelpLink>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kadrill::platform::qt {

namespace {

// Must match the namespace and virtual folder of help/kadrill.qhp.
const QString kStartPage = QStringLiteral("qthelp://org.kadrill.help/kadrill/index.html");

constexpr int kDocumentUrlRole = Qt::UserRole;
constexpr int kInitialWidth = 860;
constexpr int kInitialHeight = 600;
constexpr int kIndexPaneWidth = 260;

bool isNavigationKey(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}

} // namespace

QtHelpWindow::QtHelpWindow(std::unique_ptr<QHelpEngine> engine) : QWidget(nullptr), engine_(std::move(engine)) {
    setWindowTitle(QStringLiteral("Kadrill ﾍﾙﾌﾟ"));
    // A help window left open must not keep the program alive, nor end it when closed.
    setAttribute(Qt::WA_QuitOnClose, false);

    // Keyword tab: search field above the index; a topic list appears below it when a
    // keyword leads to several pages.
    keywordTab_ = new QWidget;
    auto* searchLabel = new QLabel(QStringLiteral("キーワードの入力(&W):"), keywordTab_);
    search_ = new QLineEdit(keywordTab_);
    search_->setObjectName(QStringLiteral("searchField"));
    search_->setClearButtonEnabled(true);
    searchLabel->setBuddy(search_);
    search_->installEventFilter(this);

    keywords_ = new QtHelpKeywordFilter(this);
    keywords_->setSourceModel(engine_->indexModel());
    index_ = new QListView(keywordTab_);
    index_->setObjectName(QStringLiteral("keywordIndex"));
    index_->setModel(keywords_);
    index_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    index_->setUniformItemSizes(true);

    topicsLabel_ = new QLabel(QStringLiteral("表示するトピックの選択(&P):"), keywordTab_);
    topics_ = new QListWidget(keywordTab_);
    topics_->setObjectName(QStringLiteral("topicList"));
    topicsLabel_->setBuddy(topics_);
    topicsLabel_->hide();
    topics_->hide();

    auto* keywordLayout = new QVBoxLayout(keywordTab_);
    keywordLayout->addWidget(searchLabel);
    keywordLayout->addWidget(search_);
    keywordLayout->addWidget(index_, 3);
    keywordLayout->addWidget(topicsLabel_);
    keywordLayout->addWidget(topics_, 1);

    contents_ = engine_->contentWidget();
    contents_->setObjectName(QStringLiteral("contents"));
    contents_->setHeaderHidden(true);

    tabs_ = new QTabWidget;
    tabs_->setObjectName(QStringLiteral("tabs"));
    tabs_->addTab(keywordTab_, QStringLiteral("キーワード(&K)"));
    tabs_->addTab(contents_, QStringLiteral("目次(&C)"));

    // Page side: history buttons above the page.
    auto* pageSide = new QWidget;
    back_ = new QPushButton(QStringLiteral("戻る(&B)"), pageSide);
    forward_ = new QPushButton(QStringLiteral("進む(&F)"), pageSide);
    auto* home = new QPushButton(QStringLiteral("ホーム(&M)"), pageSide);
    back_->setObjectName(QStringLiteral("backButton"));
    forward_->setObjectName(QStringLiteral("forwardButton"));
    home->setObjectName(QStringLiteral("homeButton"));
    for (QPushButton* button : {back_, forward_, home}) {
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::TabFocus);
    }
    back_->setEnabled(false);
    forward_->setEnabled(false);
    browser_ = new QtHelpBrowser(*engine_, pageSide);
    browser_->setObjectName(QStringLiteral("pageView"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back_);
    buttons->addWidget(forward_);
    buttons->addWidget(home);
    buttons->addStretch();
    auto* pageLayout = new QVBoxLayout(pageSide);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addLayout(buttons);
    pageLayout->addWidget(browser_);

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(tabs_);
    splitter->addWidget(pageSide);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({kIndexPaneWidth, kInitialWidth - kIndexPaneWidth});
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(splitter);
    resize(kInitialWidth, kInitialHeight);

    connect(search_, &QLineEdit::textChanged, this, &QtHelpWindow::search);
    connect(search_, &QLineEdit::returnPressed, this, &QtHelpWindow::openCurrentKeyword);
    connect(index_, &QListView::activated, this, &QtHelpWindow::openKeyword);
    connect(index_, &QListView::clicked, this, &QtHelpWindow::openKeyword);
    // The index is read in the background after set-up; what the user typed meanwhile
    // must still narrow it once it arrives.
    connect(engine_->indexModel(), &QHelpIndexModel::indexCreated, this, [this] { search(search_->text()); });
    connect(topics_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item)
            browser_->setSource(item->data(kDocumentUrlRole).toUrl());
    });
    connect(contents_, &QHelpContentWidget::activated, this, &QtHelpWindow::openContentsItem);
    connect(contents_, &QHelpContentWidget::clicked, this, &QtHelpWindow::openContentsItem);
    connect(engine_->contentModel(), &QHelpContentModel::contentsCreated, contents_, &QHelpContentWidget::expandAll);
    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(home, &QPushButton::clicked, this, [this] { browser_->setSource(startPage()); });
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, &QtHelpWindow::followPage);

    browser_->setSource(startPage());
}

// The engine goes first: its widgets, which are ours, must outlive the engine's
// callbacks to them.
QtHelpWindow::~QtHelpWindow() { engine_.reset(); }

QUrl QtHelpWindow::startPage() { return QUrl(kStartPage); }

void QtHelpWindow::showKeywordSearch() {
    search_->clear();
    search(QString());
    tabs_->setCurrentWidget(keywordTab_);
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
    search_->setFocus(Qt::OtherFocusReason);
}

void QtHelpWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    runAtOutermostLoop(this, [this] {
        if (!isVisible()) {
            delete this;
        }
    });
}

bool QtHelpWindow::eventFilter(QObject* watched, QEvent* event) {
    // Up and down in the search field walk the index, as in other help viewers.
    if (watched == search_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isNavigationKey(key->key())) {
            QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text());
            QCoreApplication::sendEvent(index_, &copy);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QtHelpWindow::search(const QString& text) {
    keywords_->setSearchText(text);
    const QModelIndex best = keywords_->bestMatch();
    if (text.trimmed().isEmpty() || !best.isValid()) {
        index_->clearSelection();
        index_->setCurrentIndex(QModelIndex());
        index_->scrollToTop();
        return;
    }
    index_->setCurrentIndex(best);
    index_->scrollTo(best, QAbstractItemView::PositionAtTop);
}

void QtHelpWindow::openCurrentKeyword() {
    QModelIndex current = index_->currentIndex();
    if (!current.isValid())
        current = keywords_->bestMatch();
    if (current.isValid()) {
        index_->setCurrentIndex(current);
        openKeyword(current);
    }
}

void QtHelpWindow::openKeyword(const QModelIndex& index) {
    if (!index.isValid())
        return;
    showDocuments(engine_->documentsForKeyword(index.data().toString()));
}

void QtHelpWindow::showDocuments(const QList<QHelpLink>& documents) {
    const bool choose = documents.size() > 1;
    topicsLabel_->setVisible(choose);
    topics_->setVisible(choose);
    if (documents.isEmpty())
        return;
    if (!choose) {
        topics_->clear();
        browser_->setSource(documents.front().url);
        return;
    }
    // Signals wait while the list is refilled, so the first topic is shown only once.
    const QSignalBlocker blocker(topics_);
    topics_->clear();
    for (const QHelpLink& document : documents) {
        auto* item = new QListWidgetItem(document.title, topics_);
        item->setData(kDocumentUrlRole, document.url);
    }
    topics_->setCurrentRow(0);
    browser_->setSource(documents.front().url);
}

void QtHelpWindow::openContentsItem(const QModelIndex& index) {
    if (const QHelpContentItem* item = engine_->contentModel()->contentItemAt(index))
        browser_->setSource(item->url());
}

void QtHelpWindow::followPage(const QUrl& url) {
    // Keep the table of contents pointing at the page on show, so switching to it
    // shows where one is.
    const QModelIndex item = contents_->indexOf(url);
    if (item.isValid())
        contents_->setCurrentIndex(item);
}

} // namespace kadrill::platform::qt
