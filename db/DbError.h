#pragma once

#include <QString>
#include <stdexcept>

namespace db {

// A failed database operation. Carries the engine's or driver's own description,
// which the window shows the user unchanged.
class DbError : public std::runtime_error {
public:
    // What a front end may add advice for: the embedded engine's default data directory holds no
    // data yet (a first run), or any other failure.
    enum class Cause { Failure, NoDataYet };

    explicit DbError(const QString &description, Cause cause = Cause::Failure)
        : std::runtime_error(description.toStdString()), m_description(description), m_cause(cause)
    {
    }
    const QString &description() const { return m_description; }
    Cause cause() const { return m_cause; }

private:
    QString m_description;
    Cause m_cause;
};

// Why a statement or a read was not sent: its connection is not open (it could not be opened).
inline QString connectionNotOpen()
{
    return QStringLiteral("数据库连接未打开，无法执行操作。");
}

// Why a write changed no row although the row still holds the values it was read with: a trigger
// swallowed the update, or the table is a view.
inline QString updateIgnored()
{
    return QStringLiteral("数据库没有执行这次更新（可能被触发器忽略，或数据表其实是视图），记录未改动。");
}

// Why a write found no row to change: the row it was read from is gone, or holds other values now.
inline QString rowChangedSinceRead()
{
    return QStringLiteral("找不到要更新的记录：它已被其他用户修改或删除。");
}

}  // namespace db
