#pragma once

#include <QObject>

class QSocketNotifier;

// Ends the event loop normally on SIGTERM and SIGINT (a desktop session that
// ends sends SIGTERM), so the exit line is logged and the database is closed.
// The signal handler only writes a byte to a socket pair; the quit happens on
// the GUI thread when the notifier fires.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    static void handle(int signal);
    void onSignal();

    QSocketNotifier* m_notifier = nullptr;
};
