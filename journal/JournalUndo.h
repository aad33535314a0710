#pragma once

#include "casing/BatchChange.h"
#include "connection/LoginFields.h"
#include "journal/JournalReader.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// Puts back the old texts of a journal: a batch change of the journal's table
// and field whose rewrite() looks every record up in the journal. A row gets
// its old text back only while it holds exactly the new text the run wrote.
// With a key, rows are found by key. Without one, a value goes back only where
// that cannot touch a row the run did not change: as many rows hold the new
// text now as the run changed to it, all from one old text.
class JournalUndo {
public:
    JournalUndo(const JournalReader &journal, LoginFields fields);

    // Sets started() and rewrite() of the callbacks; the mode text is the journal's.
    void attach(BatchChange::Callbacks &callbacks);
    // The undo itself: a batch change of the journal's table and field with the
    // callbacks, attached first.
    // A dry run changes nothing and counts what the undo would put back.
    BatchChange::Result run(BatchChange::Callbacks callbacks, bool dryRun = false);

    // Why the journal is not of the database the login fields reach (another
    // database; another server, port or way of connecting where the journal
    // says); empty when it is.
    static QString elsewhere(const JournalHeader &header, const LoginFields &fields);

    // Why started() ended the run; empty when it did not.
    QString refusal() const { return m_refusal; }
    // Records of the journal that were left alone (changed since the run,
    // gone, or not to be told apart from rows the run did not change).
    qsizetype leftAlone() const;
    // The records of the journal, whole lines of any kind.
    qsizetype journalRecords() const { return m_journalRecords; }
    // Records whose rows hold their old text after the undo: put back by it,
    // or already back before it (with a key).
    qsizetype back(const BatchChange::Result &result) const { return result.recordsChanged + m_alreadyBack; }
    // Remembers beside the journal what this undo put back; nothing when it
    // put back nothing.
    void markJournal(const QString &journalPath, const BatchChange::Result &result) const;
    // One line on what went back and what was left alone, and why.
    QString describe(const BatchChange::Result &result) const;

private:
    struct Entry {
        QString oldText;
        QString newText;
        bool seen = false;
    };
    bool start(const QStringList &keyColumns);
    std::optional<QString> rewrite(const QString &text, const QList<QVariant> &keyValues);
    static QStringList keyOf(const QList<QVariant> &keyValues);
    qsizetype gone() const; // by key: records whose row was not read, or was Null
    // Without a key: records whose new text cannot go back, and that some row
    // holds (held) or no row holds.
    qsizetype ambiguous(bool held) const;

    JournalHeader m_header;
    LoginFields m_fields;
    qsizetype m_journalRecords = 0;
    qsizetype m_refused = 0; // records of the file that no run writes: never put back
    qsizetype m_notWritten = 0; // records the run did not write: never put back
    qsizetype m_endUnknown = 0; // without a key: records whose texts the run never finished writing
    bool m_tellsWritten = true; // the journal says which records the run wrote
    bool m_cutShort = false; // the file's last line was cut short and left out
    QHash<QStringList, Entry> m_byKey;
    QHash<QString, QString> m_restorable; // new text -> old text, without a key
    QHash<QString, QSet<QString>> m_oldTexts; // new text -> the old texts it came from, without a key
    QHash<QString, qsizetype> m_recorded; // new text -> records of the journal, without a key
    QHash<QString, qsizetype> m_holding; // new text -> rows that hold it at the start, without a key
    QString m_refusal;
    qsizetype m_changedSince = 0; // by key: the row holds neither text
    qsizetype m_alreadyBack = 0; // by key: the row holds the old text again
};
