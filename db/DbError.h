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

} // namespace db
