#include "platform/dbus/SingleInstance.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QObject>
#include <QUrl>

namespace kadrill::platform::dbus {

namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Application");
const QString kServiceUnknown = QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown");
const QString kNameHasNoOwner = QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner");

using Opened = std::function<void(const QStringList&, const QVariantMap&)>;

// The part of the desktop's application interface that a program with documents but
// without actions has: Activate and Open. Other methods are answered as unknown by Qt.
class ApplicationAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    ApplicationAdaptor(QObject* parent, const std::function<void(const QVariantMap&)>& activated, const Opened& opened)
        : QDBusAbstractAdaptor(parent), activated_(activated), opened_(opened) {}

public Q_SLOTS:
    void Activate(const QVariantMap& platformData) {
        if (activated_) {
            activated_(platformData);
        }
    }
    void Open(const QStringList& uris, const QVariantMap& platformData) {
        if (opened_) {
            opened_(uris, platformData);
        }
    }

private:
    const std::function<void(const QVariantMap&)>& activated_;
    const Opened& opened_;
};

} // namespace

SingleInstance::SingleInstance(const QString& appId)
    : SingleInstance(appId, QDBusConnection::sessionBus(), kDefaultAnswerTimeout) {}

SingleInstance::SingleInstance(const QString& appId, const QDBusConnection& bus,
                               std::chrono::milliseconds answerTimeout)
    : appId_(appId), bus_(bus), answerTimeout_(answerTimeout) {}

SingleInstance::~SingleInstance() {
    if (owner_) {
        bus_.interface()->unregisterService(appId_);
    }
    if (object_) {
        bus_.unregisterObject(objectPath(appId_));
    }
}

QString SingleInstance::objectPath(const QString& appId) {
    QString path = QStringLiteral("/") + appId;
    path.replace(u'.', u'/');
    path.replace(u'-', u'_');
    return path;
}

QString SingleInstance::uriOfLocalFile(const QByteArray& absolutePath) {
    return QStringLiteral("file://") + QString::fromLatin1(absolutePath.toPercentEncoding("/"));
}

QByteArray SingleInstance::localFileOfUri(const QString& uri) {
    const QUrl url(uri);
    // QUrl reads a host as a Windows share (//host/path), and decodes the path as UTF-8.
    if (!url.isLocalFile() || !(url.host().isEmpty() || url.host() == u"localhost")) {
        return {};
    }
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

SingleInstance::Outcome SingleInstance::claim(const QVariantMap& platformData, const QStringList& uris) {
    if (!bus_.isConnected()) {
        return Outcome::NoBus;
    }
    // In place before the name is ours: a start right after that must find someone home.
    object_ = std::make_unique<QObject>();
    new ApplicationAdaptor(object_.get(), activated, opened);
    if (!bus_.registerObject(objectPath(appId_), object_.get(), QDBusConnection::ExportAdaptors)) {
        error_ = QStringLiteral("cannot offer %1 on the session bus").arg(objectPath(appId_));
        object_.reset();
        return Outcome::NoBus;
    }
    auto giveUpObject = [this] {
        bus_.unregisterObject(objectPath(appId_));
        object_.reset();
    };

    // A Kadrill that is ending may let the name go between our request and our call to
    // it; then the name is free and we ask again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus_.interface()->registerService(
            appId_, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
        if (!reply.isValid()) {
            error_ = QStringLiteral("the session bus refused the name %1 (%2)").arg(appId_, reply.error().message());
            giveUpObject();
            return Outcome::NoBus;
        }
        if (reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            owner_ = true;
            return Outcome::First;
        }
        switch (askOwner(platformData, uris)) {
        case Call::Answered:
            giveUpObject();
            return Outcome::Forwarded;
        case Call::NoAnswer:
            giveUpObject();
            return Outcome::NoAnswer;
        case Call::NoOwner:
            break;
        }
    }
    error_ = QStringLiteral("the name %1 keeps changing hands").arg(appId_);
    giveUpObject();
    return Outcome::NoAnswer;
}

SingleInstance::Call SingleInstance::askOwner(const QVariantMap& platformData, const QStringList& uris) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        appId_, objectPath(appId_), kInterface, uris.isEmpty() ? QStringLiteral("Activate") : QStringLiteral("Open"));
    call.setAutoStartService(false);
    if (!uris.isEmpty()) {
        call << uris;
    }
    call << platformData;
    const QDBusMessage answer = bus_.call(call, QDBus::Block, static_cast<int>(answerTimeout_.count()));
    if (answer.type() == QDBusMessage::ReplyMessage) {
        return Call::Answered;
    }
    const QString name = answer.errorName();
    // Gone before or while it was asked (ended, or crashed): the name is free now.
    if (name == kServiceUnknown || name == kNameHasNoOwner || !bus_.interface()->isServiceRegistered(appId_).value()) {
        return Call::NoOwner;
    }
    error_ = QStringLiteral("the running Kadrill did not answer (%1: %2)").arg(name, answer.errorMessage());
    return Call::NoAnswer;
}

} // namespace kadrill::platform::dbus

#include "SingleInstance.moc"
