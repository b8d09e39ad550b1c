#include "Recordset.h"

#include "Connection.h"
#include "DbError.h"
#include "GuardedUpdate.h"
#include "QuotedName.h"
#include "RowLocator.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlRecord>

namespace db {

namespace {

// The table a simple "select ... from <table> ..." reads, or an empty string.
QString baseTable(const QString &select)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^\s*select\s.*?\sfrom\s+\[?([A-Za-z_][A-Za-z0-9_]*)\]?)"),
                                            QRegularExpression::CaseInsensitiveOption
                                                | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = pattern.match(select);
    return match.hasMatch() ? match.captured(1) : QString();
}

// The same SELECT with the row key `key` as an extra first column, so that each row can be
// written back to exactly the row it was read from.
QString withKey(const QString &select, const QString &key)
{
    static const QRegularExpression keyword(QStringLiteral(R"(^\s*select\s)"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = keyword.match(select);
    return select.left(match.capturedEnd()) + key + QLatin1Char(',') + select.mid(match.capturedEnd());
}

}  // namespace

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

Recordset::Statement &Recordset::preparedText(const QString &key, const QString &text)
{
    const auto found = m_statements.find(key);
    if (found != m_statements.end())
        return found->second;
    Statement statement;
    statement.query = m_connection->prepared(text);
    return m_statements.emplace(key, std::move(statement)).first->second;
}

// The statement for a SELECT, prepared once: rewritten for the engine, and for an updatable
// recordset on SQLite given the rowid to write rows back by, where the table has one.
Recordset::Statement &Recordset::prepared(const QString &source, bool updatable)
{
    const QString key = (updatable ? QStringLiteral("U:") : QStringLiteral("R:")) + source;
    const auto found = m_statements.find(key);
    if (found != m_statements.end())
        return found->second;
    QString text = m_connection->statementText(source);
    const QString table = updatable ? baseTable(source) : QString();
    const QStringList locator = !table.isEmpty() && m_connection->dialect() == SqlDialect::Sqlite
                                    ? sqliteRowLocator(m_connection->openDatabase(), table)
                                    : QStringList();
    if (!locator.isEmpty())
        text = withKey(text, quotedNames(locator));
    Statement &statement = preparedText(key, text);
    statement.table = table;
    statement.locator = locator;
    statement.hiddenKeys = int(locator.size());
    return statement;
}

void Recordset::open(const QString &source, const std::shared_ptr<Connection> &connection, CursorType cursor, LockType lock,
                     const QVariantList &params)
{
    if (m_open)
        throw DbError(QStringLiteral("记录集已打开，不能再次打开。"));
    if (connection != m_connection) {
        m_statement = nullptr;
        m_statements.clear();
        m_connection = connection;
    }
    if (!m_connection)
        throw DbError(connectionNotOpen());
    m_connection->openDatabase();  // raises when the connection is not open

    m_statement = &prepared(source, lock != LockType::ReadOnly);
    QSqlQuery &query = m_statement->query;
    for (int i = 0; i < params.size(); ++i)
        query.bindValue(i, params.at(i));
    if (!query.exec())
        throw DbError(describe(query.lastError()));
    if (m_statement->names.isEmpty()) {
        const QSqlRecord record = query.record();
        for (int i = m_statement->hiddenKeys; i < record.count(); ++i)
            m_statement->names << record.fieldName(i);
    }
    m_static = cursor == CursorType::Static;
    m_rows.clear();
    m_staged.clear();
    m_open = true;
    if (m_static) {
        const int columns = int(rowWidth());
        while (query.next())
            for (int i = 0; i < columns; ++i)
                m_rows.push_back(query.value(i));
        const QSqlError error = query.lastError();
        query.finish();
        if (error.isValid()) {
            close();
            throw DbError(describe(error));
        }
        moveFirst();
    } else {
        fetchLazyRow();
    }
    m_empty = m_atEnd;
}

void Recordset::fetchLazyRow()
{
    QSqlQuery &query = m_statement->query;
    m_rows.clear();
    m_atEnd = !query.next();
    if (m_atEnd) {
        const QSqlError error = query.lastError();
        query.finish();
        if (error.isValid())
            throw DbError(describe(error));
        return;
    }
    const int columns = int(rowWidth());
    for (int i = 0; i < columns; ++i)
        m_rows.push_back(query.value(i));
}

void Recordset::close()
{
    if (m_statement)
        m_statement->query.finish();
    m_rows.clear();
    m_staged.clear();
    m_open = false;
    m_atEnd = true;
}

void Recordset::moveFirst()
{
    if (!m_open || !m_static)
        throw DbError(QStringLiteral("只有静态记录集才能回到第一条记录。"));
    m_staged.clear();
    m_position = 0;
    m_atEnd = m_rows.empty();
}

QVariant Recordset::rowId() const
{
    requireRow();
    return m_statement->hiddenKeys == 1 ? m_rows[rowStart()] : QVariant();
}

QString Recordset::rowIdName() const
{
    return m_statement && m_statement->hiddenKeys == 1 ? m_statement->locator.first() : QString();
}

QStringList Recordset::rowKeyNames() const
{
    return m_statement && m_statement->hiddenKeys > 1 ? m_statement->locator : QStringList();
}

QVariantList Recordset::rowKeyValues() const
{
    requireRow();
    QVariantList values;
    if (m_statement->hiddenKeys > 1)
        for (int i = 0; i < m_statement->hiddenKeys; ++i)
            values << m_rows[rowStart() + std::size_t(i)];
    return values;
}

const QStringList &Recordset::fieldNames() const
{
    static const QStringList none;
    return m_statement ? m_statement->names : none;
}

bool Recordset::bof() const
{
    return !m_open || m_empty;
}

bool Recordset::eof() const
{
    return !m_open || m_atEnd;
}

void Recordset::requireRow() const
{
    if (!m_open)
        throw DbError(QStringLiteral("记录集未打开。"));
    if (m_atEnd)
        throw DbError(QStringLiteral("记录集没有当前记录。"));
}

std::size_t Recordset::rowWidth() const
{
    return std::size_t(m_statement->names.size() + m_statement->hiddenKeys);
}

// Where the current row's values start in m_rows.
std::size_t Recordset::rowStart() const
{
    return m_static ? m_position * rowWidth() : 0;
}

const QVariant &Recordset::valueAt(int position) const
{
    requireRow();
    if (position < 0 || position >= m_statement->names.size())
        throw DbError(QStringLiteral("记录集中没有第 %1 个字段。").arg(position));
    return m_rows[rowStart() + std::size_t(m_statement->hiddenKeys + position)];
}

QVariant Recordset::field(int position) const
{
    const auto staged = m_staged.constFind(position);
    return staged != m_staged.constEnd() ? *staged : valueAt(position);
}

QVariant Recordset::field(const QString &name) const
{
    const QStringList names = m_statement ? m_statement->names : QStringList();
    for (int i = 0; i < names.size(); ++i)
        if (names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return field(i);
    throw DbError(QStringLiteral("记录集中没有字段“%1”。").arg(name));
}

void Recordset::setField(int position, const QVariant &value)
{
    valueAt(position);  // raises when there is no such field or row
    if (!m_statement || m_statement->table.isEmpty())
        throw DbError(QStringLiteral("记录集是只读的，不能修改。"));
    m_staged.insert(position, value);
}

// Writes the staged fields to the row they were read from, and only while it still holds every
// value read (see GuardedUpdate).
void Recordset::update()
{
    requireRow();
    if (m_staged.isEmpty())
        return;
    Statement &statement = *m_statement;
    if (!statement.writer)
        statement.writer = std::make_shared<GuardedUpdate>(m_connection, statement.table, statement.locator, statement.names);
    QVariantList locatorValues, read;
    for (int i = 0; i < statement.hiddenKeys; ++i)
        locatorValues << m_rows[rowStart() + std::size_t(i)];
    for (int i = 0; i < statement.names.size(); ++i)
        read << valueAt(i);
    statement.writer->write(locatorValues, read, m_staged.keys(), m_staged.values());
    for (auto it = m_staged.cbegin(); it != m_staged.cend(); ++it)
        m_rows[rowStart() + std::size_t(statement.hiddenKeys + it.key())] = it.value();
    m_staged.clear();
}

void Recordset::moveNext()
{
    requireRow();
    m_staged.clear();
    if (m_static) {
        ++m_position;
        m_atEnd = m_position * rowWidth() >= m_rows.size();
    } else {
        fetchLazyRow();
    }
}

}  // namespace db
