#pragma once
// Helpers for tests of the player stand-in: a silent MP3 built in code, a small HTTP server
// that serves files with byte ranges, and reading the player's state from a page.
#include <QByteArray>
#include <QHash>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QtTest>

namespace playertest {

// MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, mono: frames of 417 bytes whose side information and
// main data are all zero, which decode to silence. 1152 samples per frame.
inline QByteArray silentMp3(int frames)
{
    QByteArray frame(417, '\0');
    frame[0] = char(0xFF);
    frame[1] = char(0xFB);
    frame[2] = char(0x90);
    frame[3] = char(0xC4);
    QByteArray data;
    data.reserve(frames * frame.size());
    for (int i = 0; i < frames; ++i)
        data += frame;
    return data;
}

// Serves fixed bodies by path on 127.0.0.1, honouring "Range: bytes=a-b" requests.
class MediaServer : public QObject {
public:
    QHash<QString, QByteArray> files; // path -> body
    QStringList requested;

    bool start()
    {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            }
        });
        return server_.listen(QHostAddress::LocalHost);
    }
    QString base() const { return QString("http://127.0.0.1:%1").arg(server_.serverPort()); }

private:
    void serve(QTcpSocket* socket)
    {
        QByteArray& buffer = pending_[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QString head = QString::fromLatin1(buffer.left(end));
        buffer.remove(0, end + 4);
        const QString path = head.section(' ', 1, 1);
        requested << path;
        QByteArray reply;
        if (!files.contains(path)) {
            reply = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        } else {
            const QByteArray& body = files[path];
            qsizetype from = 0, to = body.size() - 1;
            static const QRegularExpression range(R"(Range:\s*bytes=(\d+)-(\d*))",
                                                  QRegularExpression::CaseInsensitiveOption);
            const auto m = range.match(head);
            const bool partial = m.hasMatch();
            if (partial) {
                from = m.captured(1).toLongLong();
                if (!m.captured(2).isEmpty())
                    to = std::min<qsizetype>(to, m.captured(2).toLongLong());
            }
            const QByteArray part = from <= to ? body.mid(from, to - from + 1) : QByteArray();
            reply = partial ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
            reply += "Content-Type: audio/mpeg\r\nAccept-Ranges: bytes\r\n";
            if (partial)
                reply += QString("Content-Range: bytes %1-%2/%3\r\n")
                             .arg(from)
                             .arg(from + part.size() - 1)
                             .arg(body.size())
                             .toLatin1();
            reply += "Content-Length: " + QByteArray::number(part.size()) + "\r\n\r\n" + part;
        }
        socket->write(reply);
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

// Runs js in the isolated world and waits for its result.
inline QVariant runInPage(QWebEnginePage* page, const QString& js)
{
    QVariant out;
    bool done = false;
    page->runJavaScript(js, QWebEngineScript::ApplicationWorld, [&](const QVariant& v) {
        out = v;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 15000))
        return QVariant();
    return out;
}

// The first player's state as the page shows it: kind, state, index, time (whole seconds),
// paused (anything but playing), src (the current entry's address) and text; empty without a
// player.
inline QVariantMap playerState(QWebEnginePage* page, int player = 0)
{
    return runInPage(page, QString(R"JS((function () {
  var b = document.querySelectorAll('[data-corvale-player]')[%1];
  if (!b) return null;
  var state = b.getAttribute('data-state');
  return { kind: b.getAttribute('data-corvale-player'), state: state,
           index: Number(b.getAttribute('data-index')), time: Number(b.getAttribute('data-time')),
           paused: state !== 'playing', src: b.getAttribute('data-src') || '',
           text: b.textContent };
})())JS")
                               .arg(player))
        .toMap();
}

inline void clickPlayerButton(QWebEnginePage* page, const QString& action)
{
    runInPage(page, QString("document.querySelector('[data-corvale-player] "
                            "[data-action=\"%1\"]').click()")
                        .arg(action));
}

// Waits until the first player is playing entry index and its time has passed seconds.
inline bool waitUntilPlaying(QWebEnginePage* page, int index, double seconds, int timeoutMs = 30000)
{
    return QTest::qWaitFor(
        [&] {
            const QVariantMap s = playerState(page);
            return !s.isEmpty() && s.value("index").toInt() == index &&
                   !s.value("paused").toBool() && s.value("time").toDouble() > seconds;
        },
        timeoutMs);
}

} // namespace playertest
