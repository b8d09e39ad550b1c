#include "Output.h"

#include "Console.h"
#include "db/ODBC.h"
#include "repair/BalanceRecompute.h"
#include "repair/Money.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

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

QJsonValue jsonValue(const QVariant &value)
{
    if (value.isNull())
        return QJsonValue::Null;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UInt:
        return QJsonValue(value.toLongLong());
    case QMetaType::Double:
        return QJsonValue(value.toDouble());
    case QMetaType::Bool:
        return QJsonValue(value.toBool() ? 1 : 0);
    case QMetaType::QByteArray:
        return QStringLiteral("X'%1'").arg(QString::fromLatin1(value.toByteArray().toHex()));
    default:
        return value.toString();
    }
}

QString shownValue(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    const QJsonValue json = jsonValue(value);
    return json.isString() && value.typeId() == QMetaType::QString ? value.toString() : json.toVariant().toString();
}

QVariant codeValue(const QString &code)
{
    return code.isNull() ? QVariant() : QVariant(code);
}

QString moneyText(const repair::Money &amount)
{
    return amount.toString(2);
}

QJsonValue moneyJson(const repair::Money &amount)
{
    return QJsonValue(amount.toDouble());
}

QString amountText(const QVariant &stored)
{
    try {
        if (const std::optional<repair::Money> amount = repair::Money::fromStored(stored))
            return moneyText(*amount);
    } catch (const repair::MoneyOutOfRange &) {
    }
    return shownValue(stored);
}

QString recomputedRowText(const repair::RecomputedRow &row)
{
    QStringList changes;
    for (std::size_t c = 0; c < 3; ++c)
        if (row.changes[c])
            changes << QStringLiteral("%1 %2 → %3").arg(QLatin1String(repair::AmountNames[c]), amountText(row.stored[c]),
                                                         moneyText(row.sums[c]));
    return QStringLiteral("%1 第 %2 期：%3").arg(row.code, shownValue(row.period), changes.join(QStringLiteral("，")));
}

ConnectionMessages::ConnectionMessages()
{
    ODBC::setMessageSink([this](const QString &prompt, const QString &, int) { m_messages << prompt; });
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
