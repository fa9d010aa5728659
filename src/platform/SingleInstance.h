#pragma once

#include <functional>

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

namespace grinsley::platform {

// One running program per user. A later start hands its arguments (with its working folder, so that relative
// paths mean what they meant there) to the running one over a local socket and exits; the running one gets
// them through `received`.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    std::function<void(const QStringList& arguments, const QString& workingFolder)> received;

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket's path: in the user's runtime folder (private to the user), else the temporary folder.
    static QString serverName();
    // True when a running program took the arguments (it answers once it has them); waits at most timeoutMs.
    static bool handToRunning(const QStringList& arguments, const QString& workingFolder, int timeoutMs = 3000);
    // Starts listening; a socket left by a program that died is replaced.
    bool listen();

private:
    QLocalServer* _server = nullptr;
};

} // namespace grinsley::platform
