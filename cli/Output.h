#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace repair {
class Money;
struct RecomputedRow;
}

namespace cli {

// Where a command's words go: lines for the user on standard output (or, with --json, nothing
// there but the one JSON document), errors always on standard error, both in UTF-8.
class Output {
public:
    explicit Output(bool json) : m_json(json) {}
    bool json() const { return m_json; }

    void line(const QString &text) const;   // skipped with --json
    static void error(const QString &text);
    void document(const QJsonValue &value) const;  // only with --json
    // A document too large to hold: `head`'s fields and then the array `name`, whose elements
    // are printed one at a time as they come. Only with --json.
    void beginStreamedDocument(const QJsonObject &head, const QString &name) const;
    void streamedElement(const QJsonObject &element) const;
    void endStreamedDocument() const;

private:
    bool m_json;
    mutable bool m_firstElement = true;
};

// A value read from a database as JSON: numbers stay numbers, NULL is null, a blob is its bytes
// in hex as an SQL literal.
QJsonValue jsonValue(const QVariant &value);
// The same value as the user reads it in a line of text.
QString shownValue(const QVariant &value);
// A code as read from a database, for jsonValue() and shownValue(): a NULL code (a null text)
// stays null.
QVariant codeValue(const QString &code);

// Money as a line of text shows it, always with two decimals ("142183.50"), and as JSON gives it
// (a number).
QString moneyText(const repair::Money &amount);
QJsonValue moneyJson(const repair::Money &amount);
// A stored amount as a line of text shows it: with two decimals when it reads as a number, else
// as shownValue() shows it.
QString amountText(const QVariant &stored);

// A row the recompute changes, as a line of text names it and its amounts before and after:
// "1002 第 9 期：md 12345.00 → 12245.00".
QString recomputedRowText(const repair::RecomputedRow &row);

// Collects what the connection module would show in its error box (there is no window here),
// so a command can report it with the database it belongs to.
class ConnectionMessages {
public:
    ConnectionMessages();
    ~ConnectionMessages();
    QString take();  // every message since the last take, joined by new lines

private:
    QStringList m_messages;
};

} // namespace cli
