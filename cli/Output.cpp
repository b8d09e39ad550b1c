#include "Output.h"

#include "Console.h"
#include "db/StoredValue.h"
#include "repair/BalanceLedger.h"
#include "repair/Money.h"
#include "repair/RepairText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace cli {

void Output::line(const QString &text) const
{
    if (!m_json)
        console::write(stdout, (text + QLatin1Char('\n')).toUtf8());
}

void Output::error(const QString &text)
{
    std::fflush(stdout);  // keeps the lines in order where both streams go to one file
    console::write(stderr, (text + QLatin1Char('\n')).toUtf8());
}

void Output::document(const QJsonValue &value) const
{
    if (!m_json)
        return;
    const QJsonDocument document = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    console::write(stdout, document.toJson(QJsonDocument::Indented));
}

namespace {

// The members of `object` as an indented document writes them, one a line, without the braces
// around them or a comma after the last: empty for an object without members.
QByteArray membersText(const QJsonObject &object)
{
    QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented);
    text = text.mid(text.indexOf('\n') + 1);  // "{"
    text.truncate(text.lastIndexOf('}'));
    while (text.endsWith('\n'))
        text.chop(1);
    return text;
}

}  // namespace

void Output::beginStreamedDocument(const QJsonObject &head, const QString &name) const
{
    if (!m_json)
        return;
    // QJsonObject keeps its members in the order of their names (by UTF-16 code units, as
    // QString::compare does): the array goes where its name falls among them.
    QJsonObject before, after;
    for (auto member = head.begin(); member != head.end(); ++member)
        (QString::compare(member.key(), name) < 0 ? before : after).insert(member.key(), member.value());
    const QByteArray quotedName = QJsonDocument(QJsonArray{name}).toJson(QJsonDocument::Compact).chopped(1).mid(1);
    QByteArray text = "{\n" + membersText(before);
    text += (before.isEmpty() ? "    " : ",\n    ") + quotedName + ": [";
    console::write(stdout, text);
    m_afterArray = after.isEmpty() ? QByteArray() : ",\n" + membersText(after);
    m_firstElement = true;
}

void Output::streamedElement(const QJsonObject &element) const
{
    if (!m_json)
        return;
    console::write(stdout, m_firstElement ? "\n        " : ",\n        ");
    console::write(stdout, QJsonDocument(element).toJson(QJsonDocument::Compact));
    m_firstElement = false;
}

void Output::endStreamedDocument() const
{
    if (m_json)
        console::write(stdout, (m_firstElement ? "]" : "\n    ]") + m_afterArray + "\n}\n");
}

QJsonValue moneyJson(const repair::Money &amount)
{
    return repair::RepairText::moneyExact(amount);
}

QJsonValue amountJson(const QVariant &stored)
{
    try {
        if (const std::optional<repair::Money> amount = repair::Money::fromStored(stored))
            return moneyJson(*amount);
    } catch (const repair::MoneyOutOfRange &) {
        if (db::storageClass(stored) == db::StorageClass::Real)
            return QString::number(stored.toDouble(), 'f', 0);
    }
    return db::jsonValue(stored);
}

QJsonObject unreadableAmountJson(const repair::UnreadableAmount &amount)
{
    return {{QStringLiteral("code"), db::jsonValue(db::codeValue(amount.code))},
            {QStringLiteral("period"), db::jsonValue(amount.period)},
            {QStringLiteral("column"), amount.column},
            {QStringLiteral("stored"), repair::storedAmountText(amount.stored)}};
}

}  // namespace cli
