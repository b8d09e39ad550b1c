#pragma once

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <map>
#include <memory>
#include <vector>

namespace db {

class Connection;

// Writes a new value into one column of many rows of one table in a single statement, all of
// them or none. Each row is matched as GuardedUpdate matches it, by its locator where there is
// one and by every value it was read with, and the statement changes nothing unless each row's
// match finds exactly one row: so another program's change is never overwritten, rows that can't
// be told apart by their values are never written by a batch, and a batch that does not go
// through is left for the caller to write row by row, which finds the row in the way and writes
// the ones before it, as a walk of single writes would have.
//
// Each statement runs in the connection's autocommit mode: it is whole once it returns, and no
// transaction spans two of them. A server that counts no rows (NOCOUNT) is asked afterwards how
// many rows hold their new values. Statements stay within a server's limit of parameters (2,100
// on SQL Server) and are prepared once for each shape (rows, NULLs compared).
class GuardedBatch {
public:
    struct Row {
        QVariantList locatorValues;
        QVariantList read;  // one value for each column read
        QVariant value;     // the new value of the column written
    };

    // Rows of `table`, found by the columns `locator` (none: by their values alone), read holding
    // values of `columns`; the column at position `written` gets the new values.
    GuardedBatch(std::shared_ptr<Connection> connection, QString table, QStringList locator, QStringList columns, int written);
    ~GuardedBatch();
    GuardedBatch(const GuardedBatch &) = delete;
    GuardedBatch &operator=(const GuardedBatch &) = delete;

    // Adds `row` to the statement where it has room beside the rows added so far; false, with
    // nothing added, where it hasn't.
    bool add(const Row &row);
    // Writes the new value of every row added, or of none, and starts a new batch: true when all
    // were written. False when the engine refused the statement, or some row no longer holds what
    // it was read with or can't be told from another by its values; then nothing of the batch was
    // written, short of a change another program made the moment the statement ran, which row by
    // row writes meet as any other change.
    bool write();

    // The most rows one statement takes, and the most parameters it binds.
    static constexpr int MaxRows = 250;
    static constexpr int MaxParameters = 2000;

private:
    struct Match {
        QString sql;
        QVariantList bound;
    };
    Match matchAsRead(const Row &row) const;
    Match matchAsWritten(const Row &row) const;
    bool run(const QString &text, const QVariantList &bound, qint64 &count);
    bool writeRows();

    std::shared_ptr<Connection> m_connection;
    QString m_table;
    QStringList m_locator, m_columns;
    int m_written;
    std::vector<Row> m_rows;
    std::vector<Match> m_matches;               // each row's match as read, worked out once when it is added
    qsizetype m_parameters = 0;                 // what the rows added bind
    std::map<QString, QSqlQuery> m_statements;  // by text
};

}  // namespace db
