#pragma once

#include <QObject>
#include <QString>

// Base of every back-end object published to QML. A refused or failed call
// keeps a short Arabic reason that the page shows; a call that succeeds
// leaves it empty. Public write calls start with clearError() and end every
// refusal through refuse() or refuseId().
class BackendObject : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)

public:
    explicit BackendObject(QObject* parent = nullptr);

    QString lastError() const { return m_lastError; }

signals:
    void lastErrorChanged();
    void errorOccurred(const QString& reason);

protected:
    void clearError();
    // Keep `reason` as the last error and announce it; return the call's
    // failure value so a refusal is one line: `return refuse(...)`.
    bool refuse(const QString& reason);
    int refuseId(const QString& reason);

private:
    QString m_lastError;
};
