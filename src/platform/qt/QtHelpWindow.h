#pragma once

#include <QUrl>
#include <QWidget>

#include <memory>

class QHelpContentWidget;
class QHelpEngine;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QModelIndex;
class QPushButton;
class QTabWidget;
struct QHelpLink;

namespace kadrill::platform::qt {

class QtHelpBrowser;
class QtHelpKeywordFilter;

/// The help window: a keyword index with a search field and the table of contents on the
/// left, the page on the right. Modeless; it neither ends the program when closed nor
/// keeps it running, and it deletes itself (with its help engine) once closed.
class QtHelpWindow final : public QWidget {
public:
    /// Takes an engine whose collection has been set up.
    explicit QtHelpWindow(std::unique_ptr<QHelpEngine> engine);
    ~QtHelpWindow() override;

    /// The page shown when the window opens.
    static QUrl startPage();

    /// Shows the window, or raises an open one, at the keyword index with an empty,
    /// focused search field.
    void showKeywordSearch();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// Closed, it goes with its engine: not inside an inner event loop (a drag of selected
    /// text), whose starter, a control of this window, is still on the stack; and not once
    /// opened again meanwhile.
    void closeEvent(QCloseEvent* event) override;

private:
    void search(const QString& text);
    void openKeyword(const QModelIndex& index);
    void openCurrentKeyword();
    void showDocuments(const QList<QHelpLink>& documents);
    void openContentsItem(const QModelIndex& index);
    void followPage(const QUrl& url);

    std::unique_ptr<QHelpEngine> engine_;
    QTabWidget* tabs_ = nullptr;
    QWidget* keywordTab_ = nullptr;
    QLineEdit* search_ = nullptr;
    QtHelpKeywordFilter* keywords_ = nullptr;
    QListView* index_ = nullptr;
    QLabel* topicsLabel_ = nullptr;
    QListWidget* topics_ = nullptr;
    QHelpContentWidget* contents_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* forward_ = nullptr;
    QtHelpBrowser* browser_ = nullptr;
};

} // namespace kadrill::platform::qt
