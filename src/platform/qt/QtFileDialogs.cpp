#include "QtFileDialogs.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QRegularExpression>
#include <QSortFilterProxyModel>

#include <utility>
#include <vector>

namespace kadrill::platform::qt {

namespace {

/// Lists what the selected filter lets through; folders always, to walk through. Qt's own
/// filtering reads patterns out of parentheses in the caption, which these captions need
/// not have (or have with ";" between the patterns), so it is switched off.
class FilterProxy final : public QSortFilterProxyModel {
public:
    explicit FilterProxy(QObject* parent) : QSortFilterProxyModel(parent) {}

    void select(const FileFilter* filter) {
        patterns_.clear();
        executablesOnly_ = false;
        if (filter != nullptr) {
            executablesOnly_ = filter->executablesOnly;
            for (const std::string& pattern : filter->patterns) {
                // Names as the user sees them, whatever their case: "*.WAV" is a sound too.
                patterns_.emplace_back(QRegularExpression::wildcardToRegularExpression(
                                           QString::fromStdString(pattern), QRegularExpression::UnanchoredWildcardConversion),
                                       QRegularExpression::CaseInsensitiveOption);
            }
        }
        filtering_ = filter != nullptr;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (files == nullptr || !filtering_) {
            return true;
        }
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        if (info.isDir()) {
            return true;
        }
        if (executablesOnly_) {
            return info.isFile() && info.isExecutable();
        }
        const QString name = info.fileName();
        for (const QRegularExpression& pattern : patterns_) {
            if (pattern.match(name).hasMatch()) {
                return true;
            }
        }
        return false;
    }

private:
    std::vector<QRegularExpression> patterns_;
    bool executablesOnly_ = false;
    bool filtering_ = false;
};

bool isPattern(const QString& name) { return name.contains(u'*') || name.contains(u'?'); }

} // namespace

std::string QtFileDialogs::saveFileName(const FileDialogOptions& options) { return run(options, true); }

std::string QtFileDialogs::openFileName(const FileDialogOptions& options) { return run(options, false); }

std::string QtFileDialogs::run(const FileDialogOptions& options, bool save) {
    QString initialFolder;
    QString initialName;
    if (!options.initialPath.empty()) {
        const QFileInfo start(QString::fromStdString(options.initialPath));
        if (start.isDir()) {
            initialFolder = start.absoluteFilePath();
        } else {
            initialFolder = start.absolutePath();
            // "*.alm" names what to list, which the filter already does; no file is called that.
            initialName = isPattern(start.fileName()) ? QString() : start.fileName();
        }
    }
    const bool firstOfPurpose = remembered_.count(options.purpose) == 0;
    Remembered& memory = remembered_[options.purpose];
    if (firstOfPurpose) {
        memory.folder = initialFolder;
    }
    const QString folder = memory.folder;
    const QString name = memory.name.isEmpty() ? initialName : memory.name;

    QFileDialog dialog(nullptr, QString::fromStdString(options.title));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);

    QStringList captions;
    for (const FileFilter& filter : options.filters) {
        captions << QString::fromStdString(filter.caption);
    }
    auto* proxy = new FilterProxy(&dialog);
    dialog.setProxyModel(proxy);
    if (!captions.isEmpty()) {
        dialog.setNameFilters(captions);
    }
    auto* files = qobject_cast<QFileSystemModel*>(proxy->sourceModel());
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    auto useFilter = [&options, proxy, files](int index) {
        if (files != nullptr) {
            files->setNameFilters({});
        }
        const bool known = index >= 0 && static_cast<std::size_t>(index) < options.filters.size();
        proxy->select(known ? &options.filters[static_cast<std::size_t>(index)] : nullptr);
    };
    if (types != nullptr) {
        // Qt tidies the spaces of a caption away; it is shown as the program wrote it.
        for (int i = 0; i < captions.size() && i < types->count(); ++i) {
            types->setItemText(i, captions[i]);
        }
        // After Qt's own reaction to the choice, which is undone here.
        QObject::connect(types, &QComboBox::activated, &dialog, useFilter);
    }
    useFilter(captions.isEmpty() ? -1 : 0);

    if (!folder.isEmpty()) {
        dialog.setDirectory(folder);
    }
    if (!name.isEmpty()) {
        dialog.selectFile(name);
    }

    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    memory.folder = dialog.directory().absolutePath();
    if (!chosen) {
        return {};
    }
    const QFileInfo picked(dialog.selectedFiles().constFirst());
    memory.folder = picked.absolutePath();
    memory.name = picked.fileName();
    return picked.absoluteFilePath().toStdString();
}

} // namespace kadrill::platform::qt
