#pragma once

#include <QString>
#include <QStringList>

// Programs on the display as a screen reader reads them: through the accessibility bus (AT-SPI
// over D-Bus), from another process, with no access to their widgets. The test runs on a session
// bus of its own (tests/support/own-session-bus); enable() turns accessibility on there, as a
// screen reader does, so the programs started after it join the bus.
namespace AtSpi {

// One accessible object of a program: its name on the bus and its path there.
struct Node {
    QString service, path;
    bool isNull() const { return service.isEmpty(); }
};

// Turns accessibility on and connects to the accessibility bus; the error when that fails.
QString enable();

// The accessible root of the program running as process `pid`, once it has joined the bus (up to
// `ms` milliseconds); null if it never does.
Node application(qint64 pid, int ms = 60000);

QString name(const Node &node);
QString role(const Node &node);  // as AT-SPI names roles: "frame", "menu item", "push button", ...
QList<Node> children(const Node &node);

// Every object below `from`, depth first, whose role is `role`.
QList<Node> all(const Node &from, const QString &role);
// The first object below `from`, depth first, with that role and name, waited for up to `ms`
// milliseconds; null if none shows.
Node find(const Node &from, const QString &role, const QString &name, int ms = 30000);
// A top-level window of the program by its title, waited for.
Node window(const Node &application, const QString &title, int ms = 30000);
// The titles of the program's top-level windows.
QStringList windows(const Node &application);

// The key a screen reader announces for the object's first action (a button's "Alt+R"), if any.
QString keyBinding(const Node &node);
// Does the object's first action (a button's press, a menu item's trigger) without waiting for it
// to finish: it may open a modal box.
void press(const Node &node);
// The whole of an object's text (a text field, a document).
QString text(const Node &node);
// The names of a table's cells, row by row, headers left out.
QList<QStringList> cells(const Node &table);

}  // namespace AtSpi
