#pragma once

#include "casing/BackgroundStep.h"
#include "casing/BatchChange.h"
#include "connection/LoginFields.h"
#include "journal/JournalReader.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// Puts back the old texts of a journal: a batch change of the journal's table
// and field whose rewrite() looks every record up in the journal. A row gets
// its old text back only while it holds exactly the new text the run wrote.
// With a key, only the rows the journal names are read, by key, a block of
// the journal's records at a time, read from the file as they are needed.
// Without one, a value goes back only where that cannot touch a row the run
// did not change: as many rows hold the new text now as the run changed to
// it, all from one old text.
class JournalUndo {
public:
    // The journal, read(); the undo reads its records again as it goes.
    JournalUndo(JournalReader &journal, LoginFields fields);

    // Sets started(), rewrite() and, with a key, the rows to visit of the
    // callbacks; the mode text is the journal's.
    void attach(BatchChange::Callbacks &callbacks);
    // The undo itself: a batch change of the journal's table and field with the
    // callbacks, attached first.
    // A dry run changes nothing and counts what the undo would put back.
    // `opened`, when given, is a connection from the same login fields that
    // the undo takes as its own (see BatchChange::setOpenedConnection).
    BatchChange::Result run(
        BatchChange::Callbacks callbacks, bool dryRun = false, std::unique_ptr<odbc::Connection> opened = nullptr);

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
        QList<QVariant> keyValues;
        QString oldText;
        QString newText;
        bool seen = false;
    };
    // Without a key, per new text of the journal, in 16 bytes: a hash of it,
    // the place of a record of it in the journal (its texts are read again
    // from there), and its records. The texts stay in the journal's file.
    struct Text {
        static constexpr quint64 MostRecords = (quint64(1) << 27) - 1;
        static constexpr quint64 FarthestOffset = (quint64(1) << 35) - 1;
        size_t hash = 0;
        quint64 offset : 35 = 0;
        quint64 records : 27 = 0;
        // It came from more than one old text, or cannot be told apart.
        quint64 fromSeveral : 1 = 0;
        quint64 visited : 1 = 0; // a row of it was visited
    };
    bool start(const QStringList &keyColumns);
    bool readTexts();
    void addText(const PlannedChange &record, qint64 offset, qsizetype records);
    // By key: a block of the journal's records, by key, and their key values.
    struct Block {
        QHash<QString, Entry> entries;
        QList<QList<QVariant>> rows;
        QString error; // the journal no longer reads as it did
    };
    void readBlock(Block &block, int most);
    QList<QList<QVariant>> nextRows(int most);
    // By key: the records of the block whose rows were not visited yet.
    QList<QList<QVariant>> unvisitedRows() const;
    std::optional<QString> rewrite(const QString &text, const QList<QVariant> &keyValues, qsizetype rows);
    static QString keyOf(const QList<QVariant> &keyValues);
    qsizetype gone() const; // by key: records whose row was not read, or was Null
    // Without a key: records whose new text cannot go back, and that some row
    // holds (held) or no row holds.
    qsizetype ambiguous(bool held) const;

    JournalReader &m_journal;
    JournalHeader m_header;
    LoginFields m_fields;
    qsizetype m_journalRecords = 0;
    qsizetype m_kept = 0; // records that can be put back
    qsizetype m_refused = 0; // records of the file that no run writes: never put back
    qsizetype m_notWritten = 0; // records the run did not write: never put back
    qsizetype m_endUnknown = 0; // without a key: records whose texts the run never finished writing
    bool m_tellsWritten = true; // the journal says which records the run wrote
    bool m_cutShort = false; // the file's last line was cut short and left out
    QHash<QString, Entry> m_block; // by key: the records of the block of rows being read
    qsizetype m_gone = 0; // by key: records of the blocks before whose row was not read
    std::vector<Text> m_texts; // without a key, in the order of their hashes
    // Without a key: records of the texts a row was visited of, and of those
    // that could not go back.
    qsizetype m_visitedRecords = 0;
    qsizetype m_visitedLeftAlone = 0;
    // Without a key: the text of the rows visited last, and what it becomes.
    QString m_lastText;
    std::optional<QString> m_lastRewrite;
    std::function<void()> m_yield; // the run's, while the journal is read without a key
    QString m_refusal;
    // By key: the block after the one being visited, read from the journal
    // meanwhile on a thread of its own.
    Block m_nextBlock;
    bool m_nextBlockRead = false;
    qsizetype m_changedSince = 0; // by key: the row holds neither text
    qsizetype m_alreadyBack = 0; // by key: the row holds the old text again
    // Declared last, so a block being read ends before anything it uses goes.
    BackgroundStep m_reading;
};
