#pragma once

#include <QMap>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <memory>
#include <map>
#include <vector>

namespace db {

class Connection;
class GuardedUpdate;

// How the rows of a recordset are read.
//  Static:  a snapshot of every row, taken when the recordset opens; later writes to the
//           table do not move it. Used where the caller updates the rows it walks.
//  Keyset:  rows are fetched as the caller moves through them.
enum class CursorType { ForwardOnly = 0, Keyset = 1, Dynamic = 2, Static = 3 };
enum class LockType { ReadOnly = 1, Pessimistic = 2, Optimistic = 3 };

// The rows of one SELECT, read one at a time in the order the engine returns them, with the
// current row's fields by name or by position. With an optimistic lock a field of the current
// row can be changed and written back with update(). Every failure raises DbError.
class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset &) = delete;
    Recordset &operator=(const Recordset &) = delete;

    // Runs `source` on `connection` and stands on the first row. Values in `params` are bound
    // to the ? placeholders. Reopening with the same text on the same connection reuses the
    // prepared statement.
    void open(const QString &source, const std::shared_ptr<Connection> &connection, CursorType cursor, LockType lock,
              const QVariantList &params = {});
    bool isOpen() const { return m_open; }
    void close();

    // BOF and EOF are both true when the result has no row; EOF alone after the last row.
    bool bof() const;
    bool eof() const;

    QVariant field(const QString &name) const;  // the name is compared without regard to case
    QVariant field(int position) const;
    void setField(int position, const QVariant &value);
    // Writes the changed fields of the current row to its table.
    void update();
    void moveNext();
    // Static recordsets only: back to the first row.
    void moveFirst();

    // How the current row is found again: for an updatable recordset on SQLite, the row's rowid
    // (or the one-column primary key of a WITHOUT ROWID table) under the name rowIdName();
    // otherwise a null value and an empty name, and the row is found by its original values
    // (with a composite primary key, which the recordset's own writes still use).
    QVariant rowId() const;
    QString rowIdName() const;
    // The columns of a composite primary key that find the current row, and its values of them;
    // empty where rowId() finds the row, or nothing does.
    QStringList rowKeyNames() const;
    QVariantList rowKeyValues() const;
    const QStringList &fieldNames() const;

private:
    void requireRow() const;
    void fetchLazyRow();
    const QVariant &valueAt(int position) const;
    std::size_t rowWidth() const;
    std::size_t rowStart() const;
    // A statement prepared on m_connection, with what is known of its result columns.
    struct Statement {
        QSqlQuery query;
        QStringList names;                      // visible fields, in select-list order (known after the first run)
        int hiddenKeys = 0;                     // leading columns the layer added to locate rows (rowid or primary key)
        QString table;                          // the table rows are written back to, for updatable recordsets
        QStringList locator;                    // those columns' names
        std::shared_ptr<GuardedUpdate> writer;  // writes its rows back, made at the first update()
    };
    Statement &prepared(const QString &source, bool updatable);
    Statement &preparedText(const QString &key, const QString &text);

    std::shared_ptr<Connection> m_connection;  // kept alive while its statements are
    // Statements by source text, reused whenever the same text runs again (a walk reopens its
    // lookup for every row). Node-based, so references stay valid.
    std::map<QString, Statement> m_statements;
    Statement *m_statement = nullptr;  // the statement whose rows are being read

    bool m_open = false;
    bool m_static = false;
    bool m_empty = true;
    bool m_atEnd = true;
    std::vector<QVariant> m_rows;  // static: every row, flattened; keyset: the current row
    std::size_t m_position = 0;    // static: index of the current row
    QMap<int, QVariant> m_staged;  // changed fields of the current row, not yet written
};

}  // namespace db
