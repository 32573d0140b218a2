#include "platform/qt/QtHelp.h"

#include "platform/log/LogCategories.h"
#include "platform/qt/ProgramFiles.h"
#include "platform/qt/QtHelpWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHelpEngine>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <memory>
#include <utility>

namespace kadrill::platform::qt {

namespace {

const QString kSqlDriver = QStringLiteral("QSQLITE");
const QString kProbeConnection = QStringLiteral("kadrill-help-probe");

HelpResult failure(const QString& reason, const QString& detail) {
    qCInfo(lcHelp).noquote() << "help failed:" << reason << detail;
    QString text = QStringLiteral("ヘルプを開けません。") + reason;
    if (!detail.isEmpty())
        text += QStringLiteral("\n\n詳細: ") + detail;
    return {HelpResult::Status::Failed, text.toStdString()};
}

struct Probe {
    QStringList names; ///< the first column of the rows read
    QString error;     ///< SQLite's own words when the file could not be read
};

// The help engine opens a collection read-only without looking inside, and then shows a
// damaged file as an empty help. Reading both files ourselves first turns that into an
// error with SQLite's description of what is wrong.
Probe probe(const QString& file, const QString& query) {
    Probe result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(kSqlDriver, kProbeConnection);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        db.setDatabaseName(file);
        if (!db.open()) {
            result.error = db.lastError().text();
        } else {
            QSqlQuery rows(db);
            if (!rows.exec(query))
                result.error = rows.lastError().text();
            while (rows.next())
                result.names << rows.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(kProbeConnection);
    return result;
}

QString damaged(const QString& file) {
    return QStringLiteral("ヘルプ ファイル「%1」が壊れているか、ヘルプ ファイルではありません。")
        .arg(QFileInfo(file).fileName());
}

struct Opened {
    std::unique_ptr<QHelpEngine> engine;
    HelpResult result;
};

Opened openCollection(const QString& collectionFile) {
    if (!QSqlDatabase::isDriverAvailable(kSqlDriver)) {
        const QStringList drivers = QSqlDatabase::drivers();
        return {nullptr, failure(QStringLiteral("ヘルプの読み込みに必要な SQLite のデータベース ドライバー (Qt の "
                                                "QSQLITE プラグイン) が見つかりません。"),
                                 QStringLiteral("使えるデータベース ドライバー: %1")
                                     .arg(drivers.isEmpty() ? QStringLiteral("なし") : drivers.join(u", ")))};
    }

    // The collection names its compressed help files relative to itself.
    const Probe collection = probe(collectionFile, QStringLiteral("SELECT FilePath FROM NamespaceTable"));
    if (!collection.error.isEmpty())
        return {nullptr,
                failure(damaged(collectionFile), collection.error + QStringLiteral(" (%1)").arg(collectionFile))};
    if (collection.names.isEmpty())
        return {nullptr, failure(damaged(collectionFile),
                                 QStringLiteral("登録されたヘルプ文書がありません (%1)").arg(collectionFile))};
    const QDir collectionDir = QFileInfo(collectionFile).absoluteDir();
    for (const QString& name : collection.names) {
        const QString document = QDir::cleanPath(collectionDir.filePath(name));
        if (!QFileInfo(document).isFile())
            return {nullptr, failure(QStringLiteral("ヘルプの内容のファイル「%1」が見つかりません。")
                                         .arg(QFileInfo(document).fileName()),
                                     document)};
        const Probe content = probe(document, QStringLiteral("SELECT Name FROM NamespaceTable"));
        if (!content.error.isEmpty())
            return {nullptr, failure(damaged(document), content.error + QStringLiteral(" (%1)").arg(document))};
    }

    // Read-only: an installed collection belongs to root, and nothing is to be written
    // beside the program.
    auto engine = std::make_unique<QHelpEngine>(collectionFile);
    engine->setReadOnly(true);
    if (!engine->setupData())
        return {nullptr, failure(damaged(collectionFile), engine->error())};
    if (engine->fileData(QtHelpWindow::startPage()).isEmpty())
        return {nullptr, failure(QStringLiteral("ヘルプの最初のページがありません。"),
                                 QtHelpWindow::startPage().toString() + QStringLiteral(" (%1)").arg(collectionFile))};
    return {std::move(engine), {}};
}

} // namespace

QString QtHelp::collectionBesideProgram() { return helpCollectionFile(); }

QtHelp::QtHelp() : collectionFile_(collectionBesideProgram()) {}

QtHelp::QtHelp(QString collectionFile) : collectionFile_(std::move(collectionFile)) {}

QtHelp::~QtHelp() { delete window_.data(); }

HelpResult QtHelp::showKeywordSearch() {
    if (!window_) {
        if (collectionFile_.isEmpty() || !QFileInfo(collectionFile_).isFile()) {
            qCInfo(lcHelp).noquote() << "no help collection"
                                     << (collectionFile_.isEmpty() ? QStringLiteral("beside the program")
                                                                   : collectionFile_);
            return {HelpResult::Status::Missing, {}};
        }
        Opened opened = openCollection(collectionFile_);
        if (!opened.engine)
            return opened.result;
        window_ = new QtHelpWindow(std::move(opened.engine));
        window_->setWindowIcon(icon_);
    }
    window_->showKeywordSearch();
    return {};
}

} // namespace kadrill::platform::qt
