#pragma once
// A session bus of the test's own (dbus-daemon), so that nothing reaches the desktop's bus.
#include <QDBusConnection>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QtTest>

#include <ostream>

// Failures show the text, not its UTF-16 units.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace desktoptest {

class PrivateBus {
public:
    PrivateBus()
    {
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!daemon_.waitForStarted(10000))
            return;
        if (!QTest::qWaitFor([this] { return daemon_.canReadLine(); }, 10000))
            return;
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        for (const QString& name : names_)
            QDBusConnection::disconnectFromBus(name);
        daemon_.terminate();
        daemon_.waitForFinished(5000);
    }
    bool running() const { return !address_.isEmpty(); }
    QString address() const { return address_; }

    // A new connection to the bus, as another program would have.
    QDBusConnection connect(const QString& name)
    {
        names_ << name;
        return QDBusConnection::connectToBus(address_, name);
    }

    // Runs a program against the bus while the event loop goes on (the program talks to
    // objects of this process); its standard output, or a marker when it did not end well.
    QString run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", address_);
        process.setProcessEnvironment(env);
        process.start(program, arguments);
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000))
            return "<still running>";
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return "<failed: " + QString::fromUtf8(process.readAllStandardError()).trimmed() + ">";
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

private:
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

} // namespace desktoptest
