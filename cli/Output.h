#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QVariant>

namespace repair {
class Money;
struct UnreadableAmount;
}  // namespace repair

namespace cli {

// Where a command's words go: lines for the user on standard output (or, with --json, nothing
// there but the one JSON document), errors always on standard error, both in UTF-8.
class Output {
public:
    explicit Output(bool json) : m_json(json) {}
    bool json() const { return m_json; }

    void line(const QString &text) const;  // skipped with --json
    static void error(const QString &text);
    void document(const QJsonValue &value) const;  // only with --json
    // A document too large to hold: `head`'s members with the array `name` among them, in the
    // order of their names as every object has them, the array's elements printed one at a time
    // as they come. Only with --json.
    void beginStreamedDocument(const QJsonObject &head, const QString &name) const;
    void streamedElement(const QJsonObject &element) const;
    void endStreamedDocument() const;

private:
    bool m_json;
    mutable bool m_firstElement = true;
    mutable QByteArray m_afterArray;  // the head's members whose names come after the array's
};

// Money as JSON gives it: a string of its exact decimal digits, in two decimals or as many more
// as it has ("1200.00", "12345678901234567.90", "100.005"), never a number, which a reader takes
// as a double; RepairText::moneyText() gives it as text.
QJsonValue moneyJson(const repair::Money &amount);
// A stored amount as JSON: moneyJson() of the number it holds; null for NULL; a value that is no
// number as db::jsonValue() gives it, a real too large for Money as the string of its digits.
QJsonValue amountJson(const QVariant &stored);
// An amount that can't be read, as JSON gives it: its code, period, column and what is stored, as text.
QJsonObject unreadableAmountJson(const repair::UnreadableAmount &amount);

}  // namespace cli
