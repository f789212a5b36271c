#include "db/Errors.h"

namespace platform::db {

Error::Error(const QString& message)
    : std::runtime_error(message.toStdString())
    , m_message(message) {}

DatabaseError::DatabaseError(const QString& message, int sqlCode, long gdsCode)
    : Error(message)
    , m_sqlCode(sqlCode)
    , m_gdsCode(gdsCode) {}

const char* Abort::what() const noexcept {
    return "operation aborted";
}

void abort() {
    throw Abort();
}

} // namespace platform::db
