#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace db {
class Connection;
}

namespace repair {

struct CodeBytes;

// The chart of accounts as the end-flag repair reads it ("select ccode,bend from code order by
// ccode"), in code order, held compactly: a walk of a million codes keeps about 25 bytes a row.
// Each row's code is kept as UTF-8 bytes in one buffer, its flag in a byte, and what finds the
// row again (its rowid) in a number; the few values of other forms (numeric codes, flags stored
// as text or reals, NULLs, keys that are not whole numbers) are kept beside as read.
//
// On a file opened by Qt's SQLite driver the chart is read straight through SQLite on that
// connection's handle, and a text code is then kept in the very bytes it is stored in (valid
// UTF-8 or not): the walk binds them as they are, so the engine finds the row by them. Everywhere
// else it is read through a recordset, each row's values as the driver gives them, but for a text
// code on SQLite, which is kept in its stored bytes there too.
class EndFlagChart {
public:
    // Reads the chart on `connection`. With `locate`, each row comes with what finds it again:
    // on SQLite its rowid (or a WITHOUT ROWID table's primary key); elsewhere rows are found by
    // their values. Raises db::DbError when the engine refuses.
    static EndFlagChart read(const std::shared_ptr<db::Connection> &connection, bool locate);

    std::size_t size() const { return m_flags.size(); }
    // Whether the codes were read straight through SQLite, in the bytes they are stored in.
    bool readDirectly() const { return m_direct; }

    // The code of row i as the engine's left() and len() see it, in UTF-8 (see EndFlagVerdict).
    CodeBytes codeBytes(std::size_t i) const;
    // Whether the code of row i is a text: then codeBytes() are the text the row holds.
    bool codeIsText(std::size_t i) const { return m_codeForms[i] == Text; }
    // The code of row i as read: a text as a string, or as its stored bytes when they are not valid
    // UTF-8 or begin with a byte-order mark (as the journal keeps such a code); any other value as
    // the engine gave it.
    QVariant code(std::size_t i) const;
    // The code of row i for the user to read: its text as db::textOfBytes() reads it (for
    // db::codeValue()), null for a NULL code.
    QString codeText(std::size_t i) const;
    // The flag of row i as read.
    QVariant flag(std::size_t i) const;
    // The flag of row i when it is a whole number 0 or 1, else -1.
    int integerFlag(std::size_t i) const { return m_flags[i]; }

    // How rows are found again: the name of the column that finds one (a rowid or a one-column
    // primary key), empty when none does; a composite primary key's columns; and row i's values.
    const QString &rowIdName() const { return m_rowIdName; }
    const QStringList &rowKeyNames() const { return m_rowKeyNames; }
    // Row i's rowid (or one-column key); null where rows are found by value.
    QVariant rowId(std::size_t i) const;
    // Whether row i's rowid is a whole number, and if so that number in `id`.
    bool integerRowId(std::size_t i, qint64 &id) const;
    // Row i's values of the composite key's columns, in the order of rowKeyNames(), and of those
    // other than the code.
    QVariantList rowKeyValues(std::size_t i) const;
    QVariantList otherKeyValues(std::size_t i) const;
    // The positions in rowKeyNames() of the columns other than the code.
    QList<int> otherKeyColumns() const;

private:
    enum CodeForm : std::uint8_t { Text, Null, Other, Blob };
    // Values of a few rows, by row, in the order rows were read.
    class FewValues {
    public:
        void add(std::size_t row, const QVariant &value) { m_values.emplace_back(std::uint32_t(row), value); }
        const QVariant *find(std::size_t row) const;

    private:
        std::vector<std::pair<std::uint32_t, QVariant>> m_values;
    };

    void readStraight(const std::shared_ptr<db::Connection> &connection, const QString &locator);
    void readRecordset(const std::shared_ptr<db::Connection> &connection, bool locate);
    void addCode(std::string_view text, CodeForm form, const QVariant &other);
    void addFlag(const QVariant &flag);
    void addRowId(const QVariant &id);

    bool m_direct = false;
    std::string m_codeBytes;                // every code's bytes, one after another
    std::vector<std::uint32_t> m_codeEnds;  // where each row's code ends in m_codeBytes
    std::vector<CodeForm> m_codeForms;
    std::vector<std::int8_t> m_flags;  // 0, 1, or -1 for a flag of another form
    std::vector<qint64> m_rowIds;      // empty when rows are found by value
    FewValues m_otherCodes, m_otherFlags, m_otherRowIds;
    std::vector<QVariantList> m_rowKeys;  // only with a composite key
    QString m_rowIdName;
    QStringList m_rowKeyNames;
};

}  // namespace repair
