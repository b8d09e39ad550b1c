#pragma once

#include <QString>
#include <stdexcept>

namespace db {

// A failed database operation. Carries the engine's or driver's own description,
// which the window shows the user unchanged.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString &description)
        : std::runtime_error(description.toStdString()), m_description(description) {}
    const QString &description() const { return m_description; }

private:
    QString m_description;
};

// Why a write found no row to change: the row it was read from is gone, or holds other values now.
inline QString rowChangedSinceRead()
{
    return QStringLiteral("找不到要更新的记录：它已被其他用户修改或删除。");
}

} // namespace db
