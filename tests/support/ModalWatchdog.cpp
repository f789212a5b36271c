#include "ModalWatchdog.h"

#include "HarnessFailure.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QWidget>

ModalWatchdog::ModalWatchdog(int intervalMs, QObject* parent)
    : QObject(parent) {
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ModalWatchdog::check);
    m_timer.start();
}

void ModalWatchdog::allow(QWidget* window) {
    if (window)
        window->setProperty(allowProperty, true);
}

bool ModalWatchdog::isSuspect(QWidget* window) {
    if (!window || !window->isVisible() || window->property(allowProperty).toBool())
        return false;
    if (qobject_cast<QProgressDialog*>(window))
        return false;
    // These only ever ask the user something, modal or not.
    if (qobject_cast<QMessageBox*>(window) || qobject_cast<QFileDialog*>(window) ||
        qobject_cast<QInputDialog*>(window))
        return true;
    return window->isModal();
}

QString ModalWatchdog::describe(QWidget* window) {
    QString text = QString::fromLatin1(window->metaObject()->className()) + QStringLiteral(" \"") +
                   window->windowTitle() + QLatin1Char('"');
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
        text += QStringLiteral(" with text \"") + box->text() + QLatin1Char('"');
        if (!box->informativeText().isEmpty())
            text += QStringLiteral(" (") + box->informativeText() + QLatin1Char(')');
    }
    return text;
}

void ModalWatchdog::shut(QWidget* window) {
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->reject();
    if (window->isVisible())
        window->close();
    if (window->isVisible())
        window->hide();
}

void ModalWatchdog::check() {
    QList<QWidget*> open;
    if (QWidget* modal = QApplication::activeModalWidget(); isSuspect(modal))
        open << modal;
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (!open.contains(window) && isSuspect(window))
            open << window;
    }

    QList<QPointer<QWidget>> seen;
    for (QWidget* window : std::as_const(open)) {
        // A window gets one interval's grace, so a test that opens a dialog and
        // closes it from a zero timer is not caught in between.
        if (!m_seen.contains(window)) {
            seen << window;
            continue;
        }
        ++m_caught;
        testsupport::failCurrentTest(
            QStringLiteral("A modal window was opened outside the interaction service: ") + describe(window) +
                QStringLiteral("; the test watchdog closed it"),
            __FILE__, __LINE__);
        shut(window);
    }
    m_seen = seen;
}
