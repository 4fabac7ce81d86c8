#include "desktop/single_instance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace desktop {
namespace {
const char kRequest[] = "raise\n";
const char kAnswer[] = "ok\n";
} // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent), folder_(std::move(folder))
{
    if (folder_.isEmpty())
        folder_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder_.isEmpty())
        folder_ = QDir::tempPath();
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() == kRequest) {
                    socket->write(kAnswer);
                    socket->flush();
                    emit activationRequested();
                }
            });
        }
    });
}

SingleInstance::~SingleInstance()
{
    server_.close();
}

QString SingleInstance::socketPath() const
{
    return QDir(folder_).filePath(QStringLiteral("corvale.socket"));
}

bool SingleInstance::claim()
{
    QDir().mkpath(folder_);
    lock_ = std::make_unique<QLockFile>(QDir(folder_).filePath(QStringLiteral("corvale.lock")));
    lock_->setStaleLockTime(0); // a lock left by a copy that died is taken over
    if (!lock_->tryLock(0)) {
        lock_.reset();
        return false;
    }
    QLocalServer::removeServer(socketPath()); // a socket file left by a copy that died
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(socketPath());
    return true;
}

bool SingleInstance::activateRunning(int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kRequest);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    return socket.readLine() == kAnswer;
}

} // namespace desktop
