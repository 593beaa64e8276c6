// SingleInstance: only one converter runs per user. The first start listens on a local
// socket named after the executable's base name (and the user); a later start connects to it,
// asks the first one to come to the front, and ends without showing a window.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace vmui {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The name for an executable: its base name plus a tag of the user, so two users on one machine
    // each get their own instance.
    static QString NameFor(const QString& executable_base_name);

    // True when another instance answered; it has been told to activate itself.
    bool NotifyRunningInstance(int timeout_ms = 1000);
    // Starts listening; false when the name cannot be taken.
    bool Listen();

signals:
    void activationRequested();

private:
    QString name_;
    QLocalServer* server_ = nullptr;
};

} // namespace vmui
