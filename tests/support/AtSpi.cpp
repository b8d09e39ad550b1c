#include "AtSpi.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QTest>

namespace {

// An object reference as the bus carries it: (so).
struct Reference {
    QString service;
    QDBusObjectPath path;
};

// An action as the bus carries it: (sss), its name, description and key.
struct Action {
    QString name, description, key;
};

}  // namespace

Q_DECLARE_METATYPE(Reference)
Q_DECLARE_METATYPE(Action)

namespace {

QDBusArgument &operator<<(QDBusArgument &argument, const Reference &reference)
{
    argument.beginStructure();
    argument << reference.service << reference.path;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Reference &reference)
{
    argument.beginStructure();
    argument >> reference.service >> reference.path;
    argument.endStructure();
    return argument;
}

QDBusArgument &operator<<(QDBusArgument &argument, const Action &action)
{
    argument.beginStructure();
    argument << action.name << action.description << action.key;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Action &action)
{
    argument.beginStructure();
    argument >> action.name >> action.description >> action.key;
    argument.endStructure();
    return argument;
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

AtSpi::Node nodeOf(const Reference &reference)
{
    return {reference.service, reference.path.path()};
}

}  // namespace

namespace AtSpi {

QString enable()
{
    qDBusRegisterMetaType<Reference>();
    qDBusRegisterMetaType<QList<Reference>>();
    qDBusRegisterMetaType<Action>();
    qDBusRegisterMetaType<QList<Action>>();
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
    const QDBusMessage reply =
        call(node, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {Accessible, QStringLiteral("Name")});
    return answer<QDBusVariant>(reply).variant().toString();
}

QString role(const Node &node)
{
    return answer<QString>(call(node, Accessible, QStringLiteral("GetRoleName")));
}

QList<Node> children(const Node &node)
{
    QList<Node> found;
    const QDBusMessage reply = call(node, Accessible, QStringLiteral("GetChildren"));
    if (reply.type() == QDBusMessage::ReplyMessage)
        for (const Reference &reference : qdbus_cast<QList<Reference>>(reply.arguments().value(0)))
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
    const auto actions = qdbus_cast<QList<Action>>(
        call(node, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("GetActions")).arguments().value(0));
    return actions.isEmpty() ? QString() : actions.first().key;
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
    const auto count = [&](const QString &property) {
        const QDBusMessage reply =
            call(table, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {tableInterface, property});
        return answer<QDBusVariant>(reply).variant().toInt();
    };
    QList<QStringList> rows;
    const int columns = count(QStringLiteral("NColumns"));
    for (int row = 0, total = count(QStringLiteral("NRows")); row < total; ++row) {
        QStringList names;
        for (int column = 0; column < columns; ++column) {
            const QDBusMessage cell = call(table, tableInterface, QStringLiteral("GetAccessibleAt"), {row, column});
            names << name(nodeOf(qdbus_cast<Reference>(cell.arguments().value(0))));
        }
        rows << names;
    }
    return rows;
}

}  // namespace AtSpi
