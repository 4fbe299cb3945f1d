// Turns SIGINT and SIGTERM into a Qt signal, so that the peer can log off and
// shut its core down cleanly when it is told to stop.
#pragma once

#include <QObject>

class QSocketNotifier;

class CSignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit CSignalWatcher(QObject* parent = nullptr);
    ~CSignalWatcher() override;

signals:
    void stopRequested();

private:
    QSocketNotifier* m_notifier = nullptr;
};
