#pragma once

#include <QString>
#include <QTemporaryDir>

// Makes a chosen backup fit to become the database, without touching it:
// the file (and a write-ahead log beside it) is copied into a scratch folder,
// checked there in full, written out afresh from the checked connection and
// taken through the same schema steps as every start. What goes in place of
// the database is that result, so what was checked is what is restored.
//
// A candidate is refused when its checksum does not match, when SQLite
// finds any damage, when it holds tables, views or triggers this program
// does not create, or when after the schema steps a table still lacks a
// column the program reads.
class RestoreCheck
{
public:
    enum class Outcome
    {
        Fit,
        // The checksum written with the backup does not match its bytes,
        // or the file was written to after it was made.
        ChangedSinceMade,
        // Damaged, not a database, or not one this program can open.
        Unfit,
    };

    // `scratchParent` is where the scratch folder goes: beside the
    // database, so the result is on the same disk.
    RestoreCheck(const QString& chosenFile, const QString& scratchParent);
    ~RestoreCheck();

    RestoreCheck(const RestoreCheck&) = delete;
    RestoreCheck& operator=(const RestoreCheck&) = delete;

    Outcome run();
    // English diagnostic of a refusal; empty when fit.
    QString problem() const { return m_problem; }
    // The checked file to put in place, once run() returned Fit.
    QString candidate() const;
    // Whether the chosen file came with the checksum this program writes
    // beside its backups (a file from elsewhere has none).
    bool hadChecksum() const { return m_hadChecksum; }

private:
    Outcome refuse(Outcome outcome, const QString& problem);
    QString scratch(const QString& name) const;

    QString m_chosen;
    QTemporaryDir m_scratch;
    QString m_problem;
    bool m_hadChecksum = false;
};
