#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <chrono>
#include <functional>
#include <memory>

namespace kadrill::platform::dbus {

/// One Kadrill per desktop session, so that there is one clock, one notification-area icon
/// and one alarm. The first start owns the program's well-known name on the session bus
/// and answers org.freedesktop.Application.Activate and Open there; a later start calls
/// one of them and ends. The bus takes the name away with the owner's connection, so a Kadrill that
/// crashed leaves nothing behind that would stop the next start.
class SingleInstance {
public:
    enum class Outcome {
        First,     ///< this process owns the name and answers later starts
        Forwarded, ///< the running Kadrill was asked to come forward: this process should end
        NoBus,     ///< there is no session bus (or it refused the name): this process runs alone
        NoAnswer,  ///< a Kadrill owns the name but did not answer; error() says why
    };

    /// A running Kadrill has this long to answer before a second start gives up on it.
    static constexpr std::chrono::milliseconds kDefaultAnswerTimeout = std::chrono::seconds(5);

    /// `appId` is the program's reverse-DNS id: the bus name, and with dots turned into
    /// slashes the object path. Uses the session bus.
    explicit SingleInstance(const QString& appId);
    /// The same on the given bus, with the given time to wait for an answer; for tests.
    SingleInstance(const QString& appId, const QDBusConnection& bus, std::chrono::milliseconds answerTimeout);
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    /// Gives the name back.
    ~SingleInstance();

    /// Takes the name, or hands this start to the Kadrill that has it: to be opened there
    /// when `uris` names files, else to come forward. `platformData` goes with the request
    /// (the launcher's startup id, for instance). Call once, before the event loop runs:
    /// requests that arrive meanwhile wait for it.
    Outcome claim(const QVariantMap& platformData = {}, const QStringList& uris = {});

    /// What went wrong, in English, for NoAnswer (and for a bus that refused the name).
    const QString& error() const { return error_; }

    /// Runs from the event loop each time a later start asks, with the data it sent.
    std::function<void(const QVariantMap& platformData)> activated;
    /// Runs from the event loop each time a later start hands over files (URIs).
    std::function<void(const QStringList& uris, const QVariantMap& platformData)> opened;

    /// The object path for an id: "io.github.kadrill.Kadrill" → "/io/github/kadrill/Kadrill".
    static QString objectPath(const QString& appId);

    /// The file:// URI of a local file, for claim(); the name is bytes, as the file system
    /// takes it, so one that is not UTF-8 arrives unchanged.
    static QString uriOfLocalFile(const QByteArray& absolutePath);
    /// The local file a handed URI names, as bytes: file:///path and file://localhost/path
    /// alike. Empty for another host or scheme.
    static QByteArray localFileOfUri(const QString& uri);

private:
    enum class Call { Answered, NoOwner, NoAnswer };
    Call askOwner(const QVariantMap& platformData, const QStringList& uris);

    QString appId_;
    QDBusConnection bus_;
    std::chrono::milliseconds answerTimeout_;
    std::unique_ptr<QObject> object_;
    bool owner_ = false;
    QString error_;
};

} // namespace kadrill::platform::dbus
