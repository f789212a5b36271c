#pragma once

// Catches windows that would wait for a user who is not there. Every few
// hundred milliseconds of event processing it looks for a modal window, or a
// message box or chooser of any kind, opened outside the interaction service.
// One that is still open at the next look fails the running test, naming its
// class, title and text, and is closed, so the test goes on instead of
// hanging in the window's event loop.
//
// A test that opens a modal dialog of its own on purpose marks it with
// ModalWatchdog::allow(dialog). Progress dialogs are left alone: they ask
// nothing and close themselves.

#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

class ModalWatchdog : public QObject {
    Q_OBJECT
public:
    static constexpr int defaultIntervalMs = 200;
    // The dynamic property that exempts a window.
    static constexpr const char* allowProperty = "archiveTestAllowModal";

    explicit ModalWatchdog(int intervalMs = defaultIntervalMs, QObject* parent = nullptr);

    static void allow(QWidget* window);

    // Windows caught so far.
    int caught() const { return m_caught; }

    // One look, as the timer does it; public so a test can force it.
    void check();

private:
    static bool isSuspect(QWidget* window);
    static QString describe(QWidget* window);
    void shut(QWidget* window);

    QTimer m_timer;
    QList<QPointer<QWidget>> m_seen; // open at the previous look
    int m_caught = 0;
};
