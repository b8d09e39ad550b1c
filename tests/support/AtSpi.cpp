#include "AtSpi.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QTest>

namespace {

// The members of a structure the bus carries, an object's reference (so) or an action (sss), as
// texts.
QStringList members(const QDBusArgument &argument)
{
    QStringList texts;
    argument.beginStructure();
    while (!argument.atEnd()) {
        QString text;
        QDBusObjectPath path;
        if (argument.currentSignature() == QLatin1String("o"))
            argument >> path, text = path.path();
        else
            argument >> text;
        texts << text;
    }
    argument.endStructure();
    return texts;
}

// The structures of the array a reply carries first.
QList<QStringList> structures(const QDBusMessage &reply)
{
    QList<QStringList> found;
    if (reply.type() != QDBusMessage::ReplyMessage)
        return found;
    const auto argument = reply.arguments().value(0).value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd())
        found << members(argument);
    argument.endArray();
    return found;
}

const QString ConnectionName = QStringLiteral("n3-accessibility");
const QString Accessible = QStringLiteral("org.a11y.atspi.Accessible");

QDBusConnection bus()
{
    return QDBusConnection(ConnectionName);
}

QDBusMessage call(const AtSpi::Node &node, const QString &interface, const QString &method, const QVariantList &arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(node.service, node.path, interface, method);
    message.setArguments(arguments);
    return bus().call(message, QDBus::Block, 10000);
}

template <typename T> T answer(const QDBusMessage &reply)
{
    return QDBusReply<T>(reply).value();
}

QVariant property(const AtSpi::Node &node, const QString &interface, const QString &name)
{
    return answer<QDBusVariant>(
               call(node, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {interface, name}))
        .variant();
}

AtSpi::Node nodeOf(const QStringList &reference)
{
    return {reference.value(0), reference.value(1)};
}

}  // namespace

namespace AtSpi {

QString enable()
{
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected())
        return QStringLiteral("no session bus: ") + session.lastError().message();
    const QString busName = QStringLiteral("org.a11y.Bus"), busPath = QStringLiteral("/org/a11y/bus");
    QDBusMessage set =
        QDBusMessage::createMethodCall(busName, busPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
    set << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled") << QVariant::fromValue(QDBusVariant(true));
    const QDBusMessage enabled = session.call(set);
    if (enabled.type() == QDBusMessage::ErrorMessage)
        return QStringLiteral("accessibility not enabled: ") + enabled.errorMessage();
    const QDBusReply<QString> address =
        session.call(QDBusMessage::createMethodCall(busName, busPath, busName, QStringLiteral("GetAddress")));
    if (!address.isValid())
        return QStringLiteral("no accessibility bus: ") + address.error().message();
    if (!QDBusConnection::connectToBus(address.value(), ConnectionName).isConnected())
        return QStringLiteral("can't reach the accessibility bus at ") + address.value();
    return {};
}

Node application(qint64 pid, int ms)
{
    const Node registry{QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")};
    const Node daemon{QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus")};
    const QDeadlineTimer deadline(ms);
    do {
        for (const Node &program : children(registry)) {
            const QDBusMessage owner =
                call(daemon, daemon.service, QStringLiteral("GetConnectionUnixProcessID"), {program.service});
            if (owner.type() == QDBusMessage::ReplyMessage && answer<uint>(owner) == pid)
                return program;
        }
        QTest::qWait(100);
    } while (!deadline.hasExpired());
    return {};
}

QString name(const Node &node)
{
    return property(node, Accessible, QStringLiteral("Name")).toString();
}

QString role(const Node &node)
{
    return answer<QString>(call(node, Accessible, QStringLiteral("GetRoleName")));
}

QList<Node> children(const Node &node)
{
    QList<Node> found;
    for (const QStringList &reference : structures(call(node, Accessible, QStringLiteral("GetChildren"))))
        found << nodeOf(reference);
    return found;
}

QList<Node> all(const Node &from, const QString &wanted)
{
    QList<Node> found;
    for (const Node &child : children(from)) {
        const QString childRole = role(child);
        if (childRole == wanted)
            found << child;
        if (childRole != QLatin1String("table cell"))  // a cell's content holds nothing to look for
            found << all(child, wanted);
    }
    return found;
}

Node find(const Node &from, const QString &wanted, const QString &named, int ms)
{
    const QDeadlineTimer deadline(ms);
    do {
        for (const Node &candidate : all(from, wanted))
            if (name(candidate) == named)
                return candidate;
        QTest::qWait(100);
    } while (!deadline.hasExpired());
    return {};
}

Node window(const Node &application, const QString &title, int ms)
{
    const QDeadlineTimer deadline(ms);
    do {
        for (const Node &window : children(application))
            if (name(window) == title)
                return window;
        QTest::qWait(100);
    } while (!deadline.hasExpired());
    return {};
}

QStringList windows(const Node &application)
{
    QStringList titles;
    for (const Node &window : children(application))
        titles << name(window);
    return titles;
}

QString keyBinding(const Node &node)
{
    // each action as its name, description and key
    return structures(call(node, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("GetActions"))).value(0).value(2);
}

void press(const Node &node)
{
    QDBusMessage message = QDBusMessage::createMethodCall(node.service, node.path, QStringLiteral("org.a11y.atspi.Action"),
                                                          QStringLiteral("DoAction"));
    message << 0;
    bus().send(message);
}

QString text(const Node &node)
{
    return answer<QString>(call(node, QStringLiteral("org.a11y.atspi.Text"), QStringLiteral("GetText"), {0, -1}));
}

QList<QStringList> cells(const Node &table)
{
    const QString tableInterface = QStringLiteral("org.a11y.atspi.Table");
    QList<QStringList> rows;
    const int columns = property(table, tableInterface, QStringLiteral("NColumns")).toInt();
    for (int row = 0, total = property(table, tableInterface, QStringLiteral("NRows")).toInt(); row < total; ++row) {
        QStringList names;
        for (int column = 0; column < columns; ++column) {
            const QDBusMessage cell = call(table, tableInterface, QStringLiteral("GetAccessibleAt"), {row, column});
            names << name(nodeOf(members(cell.arguments().value(0).value<QDBusArgument>())));
        }
        rows << names;
    }
    return rows;
}

}  // namespace AtSpi
