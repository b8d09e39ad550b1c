#pragma once

#include "DatabaseCheck.h"

#include <QAbstractTableModel>
#include <QList>

// The account sets' fiscal years as a table, one row each, with what their checks found: wrong
// end-level flags, accounts whose ledgers disagree with their sub-accounts, balance rows the
// recompute would need, balance rows of codes the chart lacks, and a note (why the database
// can't be read, a repair running on it, or what can be done). It holds checks made elsewhere and
// knows nothing of the window's buttons.
class CheckListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { AccountSet, Year, WrongFlags, Disagreements, MissingRows, Orphans, Note, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    // Lists `databases`; a row whose findings are not in yet reads as being checked.
    void setDatabases(const QList<DatabaseCheck> &databases);
    // The findings of one listed database, in its row.
    void setChecked(const DatabaseCheck &database);

    const DatabaseCheck &databaseAt(int row) const { return m_databases.at(row); }
    // The row of `database`, or -1.
    int rowOf(const QString &database) const;
    // Of the databases listed: those that can't be read, and those of the others with findings.
    struct Tally {
        int unreadable = 0;
        int withFindings = 0;
    };
    Tally tally() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The note of a checked database: why it can't be read, the repair running on it, what is left
    // that no repair here mends, or that nothing was found.
    static QString note(const DatabaseCheck &database);

private:
    QString cell(const DatabaseCheck &database, int column) const;

    QList<DatabaseCheck> m_databases;
};
