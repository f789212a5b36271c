#pragma once

// The error window: a bold dark-red text that shows either the short text
// or the details, two toggle buttons to switch between them, and OK.

#include "PlatformExport.h"

#include <QDialog>

class QPushButton;
class QTextEdit;

class PLATFORM_EXPORT TErrorForm : public QDialog {
    Q_OBJECT

public:
    explicit TErrorForm(QWidget* parent = nullptr);

    // Stores both texts, shows the short one, and disables "Подробно" when
    // there are no details.
    void setTexts(const QString& shortText, const QString& details);
    QString shortText() const { return m_short; }
    QString details() const { return m_details; }
    // The text on show.
    QString shownText() const;

    QPushButton* shortButton() const { return m_shortButton; }
    QPushButton* detailsButton() const { return m_detailsButton; }
    QPushButton* okButton() const { return m_okButton; }

    void showShort();
    void showDetails();

private:
    QTextEdit* m_text;
    QPushButton* m_okButton;
    QPushButton* m_shortButton;
    QPushButton* m_detailsButton;
    QString m_short;
    QString m_details;
};
