#include "QtFileDialogs.h"

#include <QFileDialog>

namespace kadrill::platform::qt {

namespace {

QString filterOf(const FileDialogOptions& options) {
    return QString::fromStdString(options.filterName).trimmed() + QStringLiteral(" (") +
           QString::fromStdString(options.filterPattern) + QStringLiteral(")");
}

} // namespace

std::string QtFileDialogs::saveFileName(const FileDialogOptions& options) {
    return QFileDialog::getSaveFileName(nullptr, QString::fromStdString(options.title),
                                        QString::fromStdString(options.initialPath), filterOf(options), nullptr,
                                        QFileDialog::DontConfirmOverwrite)
        .toStdString();
}

std::string QtFileDialogs::openFileName(const FileDialogOptions& options) {
    return QFileDialog::getOpenFileName(nullptr, QString::fromStdString(options.title),
                                        QString::fromStdString(options.initialPath), filterOf(options))
        .toStdString();
}

} // namespace kadrill::platform::qt
