#include "Ostrak.h"

#include "desktop/Interaction.h"

#include <QApplication>
#include <QWidget>

namespace ostrak {

namespace {

// The window the message belongs to: the active one, if there is a widget application.
QWidget* ownerWindow() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    return QApplication::activeWindow();
}

} // namespace

QString WordOf(const QString& text, int number, QChar delimiter) {
    if (number < 1)
        return QString();
    int begin = 0;
    for (int word = 1; word < number; ++word) {
        const int next = text.indexOf(delimiter, begin);
        if (next < 0)
            return QString();
        begin = next + 1;
    }
    const int end = text.indexOf(delimiter, begin);
    return end < 0 ? text.mid(begin) : text.mid(begin, end - begin);
}

void ErrorMessage(const QString& headline, const QString& detail) {
    platform::ErrorReport report;
    report.caption = QStringLiteral("Ошибка");
    report.text = headline;
    report.details = detail;
    platform::interaction().showError(ownerWindow(), report);
}

int Confirm(const QString& caption, const QString& question, int flags) {
    const QString shownCaption = caption.isEmpty() ? QStringLiteral("Подтверждение") : caption;
    const bool defaultYes = (flags & ConfirmDefaultYes) != 0;
    return platform::interaction().confirm(ownerWindow(), shownCaption, question, defaultYes) ? 1 : 0;
}

} // namespace ostrak
