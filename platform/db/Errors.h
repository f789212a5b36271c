#pragma once

// The errors of the dataset layer. Everything the layer cannot do is thrown:
// nothing is swallowed inside it.

#include "PlatformExport.h"

#include <QString>

#include <stdexcept>

namespace platform::db {

// Any error of the layer; message() is the text for the user.
class PLATFORM_EXPORT Error : public std::runtime_error {
public:
    explicit Error(const QString& message);
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// An error reported by the database server or the client library, with the
// server's message as the client library formats it.
class PLATFORM_EXPORT DatabaseError : public Error {
public:
    DatabaseError(const QString& message, int sqlCode = 0, long gdsCode = 0);
    int sqlCode() const { return m_sqlCode; }
    long gdsCode() const { return m_gdsCode; }

private:
    int m_sqlCode;
    long m_gdsCode;
};

// A misuse of a dataset found by the layer itself: a field or parameter name
// that does not exist, an operation in the wrong state, a value of the wrong kind.
class PLATFORM_EXPORT DataSetError : public Error {
public:
    using Error::Error;
};

// The silent abort: an operation refused on purpose (by a before-step or an
// event handler). It ends the operation, leaves the dataset as it was, and is
// never shown to the user.
class PLATFORM_EXPORT Abort : public std::exception {
public:
    const char* what() const noexcept override;
};

// Raises the silent abort.
[[noreturn]] PLATFORM_EXPORT void abort();

} // namespace platform::db
