// The entry of the kadrill-help module: the program loads it when the help is first opened.
#include "platform/qt/QtHelp.h"

extern "C" Q_DECL_EXPORT kadrill::platform::Help* kadrill_help_create(const QString* collectionFile,
                                                                      const QIcon* icon) {
    auto* help = new kadrill::platform::qt::QtHelp(*collectionFile);
    help->setWindowIcon(*icon);
    return help;
}
