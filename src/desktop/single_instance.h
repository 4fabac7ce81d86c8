#pragma once
// One running copy of the program per user: the first start holds a lock file and listens on a
// local socket beside it; a later start finds the lock held, asks the first copy to come to the
// front over that socket, and ends.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

namespace desktop {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // folder: where the lock and the socket live (the user's runtime folder by default).
    explicit SingleInstance(QString folder = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the first copy (it now holds the lock and listens); false when another
    // copy runs.
    bool claim();
    // Asks the running copy to come to the front; true when it answered.
    bool activateRunning(int timeoutMs = 5000) const;

signals:
    void activationRequested(); // a later start asked this copy to come to the front

private:
    QString socketPath() const;

    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
};

} // namespace desktop
