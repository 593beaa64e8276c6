// The local-socket handshake between a second start and the running converter.
#include "single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace vmui {

namespace {
constexpr char kActivate[] = "activate\n";
}

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent), name_(name) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::NameFor(const QString& executable_base_name)
{
    // One instance per user: the user is told apart by the home folder, which every account
    // has and no two share.
    const QByteArray user =
        QCryptographicHash::hash(QDir::homePath().toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("%1-%2").arg(executable_base_name, QString::fromLatin1(user));
}

bool SingleInstance::NotifyRunningInstance(int timeout_ms)
{
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeout_ms)) return false;
    socket.write(kActivate);
    socket.waitForBytesWritten(timeout_ms);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen()
{
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // A socket left behind by a program that did not end cleanly: nobody answered on it
        // (NotifyRunningInstance came first), so it can go.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) return false;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("activate")) emit activationRequested();
            });
        }
    });
    return true;
}

} // namespace vmui
