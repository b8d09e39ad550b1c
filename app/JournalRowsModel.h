#pragma once

#include "repair/CurrentValues.h"
#include "repair/RepairRecord.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <memory>

// The rows one repair changed, as a table: where each row is (account code, and period for the
// balances), the value before, the value the repair wrote, and what the database holds now. A
// journal may hold a million rows, so they are read a page at a time as the view scrolls down
// (canFetchMore / fetchMore), each page with its current values.
class JournalRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int PageSize = 256;

    using QAbstractTableModel::QAbstractTableModel;
    ~JournalRowsModel() override;

    // Shows the rows of `record`, whose journal is in `directory`; the first page is read when
    // the view asks for it.
    void setRepair(const QString &directory, const repair::RepairRecord &record);
    void clear();
    // Rows the journal holds, whether read yet or not.
    qint64 journaledRows() const { return m_journaled; }
    // Why the journal's rows could not be read; empty when they could.
    const QString &failure() const { return m_failure; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

private:
    enum Column { Code, Period, Before, Written, Now };
    struct Row {
        repair::JournalRow journaled;
        QString now;  // what the database holds now, as shown
    };
    Column columnAt(int section) const;
    QString nowText(const repair::JournalRow &row, QString &unreadable);

    QString m_directory;
    repair::RepairRecord m_record;
    bool m_hasPeriod = false;  // rows of the balances, found by code and period
    qint64 m_journaled = 0;
    QString m_failure;
    QList<Row> m_rows;
    std::unique_ptr<repair::CurrentValues> m_current;
};
