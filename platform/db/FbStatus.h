#pragma once

// The status object of one sequence of client-library calls, for code that
// talks to the client library directly; `ok()` throws DatabaseError when the
// last call failed.

#include "db/FbClient.h"

#include <firebird/Interface.h>

namespace platform::db::fb {

class Status {
public:
    Status()
        : m_status(master()->getStatus())
        , m_wrapper(m_status) {}
    ~Status() { m_status->dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;

    Firebird::CheckStatusWrapper* operator&() { return &m_wrapper; }
    bool failed() const { return m_wrapper.getState() & Firebird::IStatus::STATE_ERRORS; }
    void ok() { check(&m_wrapper); }

private:
    Firebird::IStatus* m_status;
    Firebird::CheckStatusWrapper m_wrapper;
};

} // namespace platform::db::fb
