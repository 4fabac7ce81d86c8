#include "desktop/single_instance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace desktop {
namespace {
const char kRequest[] = "raise\n";
const char kAnswer[] = "ok\n";
// A line longer than this is no request: its connection is closed.
constexpr qint64 kMaxLineBytes = 4096;
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
            // Every whole line is answered, however the writes cut them; the socket buffers
            // at most one line's worth of bytes.
            socket->setReadBufferSize(kMaxLineBytes + 1);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    if (socket->readLine() == kRequest) {
                        socket->write(kAnswer);
                        socket->flush();
                        emit activationRequested();
                    }
                }
                if (socket->bytesAvailable() > kMaxLineBytes) {
                    socket->abort();
                    socket->deleteLater();
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
