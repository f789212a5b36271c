#include "desktop/ErrorForm.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

TErrorForm::TErrorForm(QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("ВНИМАНИЕ!"));
    setObjectName(QStringLiteral("ErrorForm"));

    m_text = new QTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setObjectName(QStringLiteral("ErrorText"));
    QFont font = m_text->font();
    font.setBold(true);
    m_text->setFont(font);
    QPalette palette = m_text->palette();
    palette.setColor(QPalette::Text, QColor(0x80, 0, 0));
    m_text->setPalette(palette);

    m_okButton = new QPushButton(QStringLiteral("&ОК"), this);
    m_okButton->setDefault(true);
    m_shortButton = new QPushButton(QStringLiteral("&Кратко"), this);
    m_detailsButton = new QPushButton(QStringLiteral("&Подробно"), this);
    m_shortButton->setCheckable(true);
    m_detailsButton->setCheckable(true);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    group->addButton(m_shortButton);
    group->addButton(m_detailsButton);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_shortButton);
    buttons->addWidget(m_detailsButton);
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    resize(420, 220);

    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_shortButton, &QPushButton::clicked, this, &TErrorForm::showShort);
    connect(m_detailsButton, &QPushButton::clicked, this, &TErrorForm::showDetails);
}

void TErrorForm::setTexts(const QString& shortText, const QString& details) {
    m_short = shortText;
    m_details = details;
    m_detailsButton->setEnabled(!details.isEmpty());
    showShort();
}

static void setCentred(QTextEdit* edit, const QString& text) {
    edit->setPlainText(text);
    QTextCursor cursor(edit->document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setAlignment(Qt::AlignHCenter);
    cursor.mergeBlockFormat(format);
}

void TErrorForm::showShort() {
    m_shortButton->setChecked(true);
    setCentred(m_text, m_short);
}

void TErrorForm::showDetails() {
    m_detailsButton->setChecked(true);
    setCentred(m_text, m_details);
}

QString TErrorForm::shownText() const {
    return m_text->toPlainText();
}
