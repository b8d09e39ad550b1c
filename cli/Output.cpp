#include "Output.h"

#include "Console.h"
#include "db/ODBC.h"
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

void Output::beginStreamedDocument(const QJsonObject &head, const QString &name) const
{
    if (!m_json)
        return;
    QByteArray text = QJsonDocument(head).toJson(QJsonDocument::Indented);
    text.truncate(text.lastIndexOf('}'));  // the object stays open for the array
    while (text.endsWith('\n'))
        text.chop(1);
    const QByteArray quotedName = QJsonDocument(QJsonArray{name}).toJson(QJsonDocument::Compact).chopped(1).mid(1);
    text += (head.isEmpty() ? "\n    " : ",\n    ") + quotedName + ": [";
    console::write(stdout, text);
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
        console::write(stdout, m_firstElement ? "]\n}\n" : "\n    ]\n}\n");
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

ConnectionMessages::ConnectionMessages()
{
    ODBC::setMessageSink([this](const QString &prompt, const QString &) { m_messages << prompt; });
}

ConnectionMessages::~ConnectionMessages()
{
    ODBC::setMessageSink(nullptr);
}

QString ConnectionMessages::take()
{
    // A box's first and last lines ("数据库X连接错误", "请正确配置数数据连接") frame the
    // description for the window; the command names the database itself.
    QStringList descriptions;
    for (const QString &message : std::as_const(m_messages)) {
        const QStringList lines = message.split(QStringLiteral("\r\n"));
        descriptions << (lines.size() >= 3 ? lines.mid(1, lines.size() - 2) : lines).join(QLatin1Char('\n'));
    }
    m_messages.clear();
    return descriptions.join(QLatin1Char('\n'));
}

} // namespace cli
