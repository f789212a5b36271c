#include "app/LoginForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TLoginForm::TLoginForm(QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Подключение к базе данных"));
    m_user = new QLineEdit(this);
    m_password = new QLineEdit(this);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Отмена"), this);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Имя пользователя:"), this), 0, 0);
    grid->addWidget(m_user, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Пароль пользователя:"), this), 1, 0);
    grid->addWidget(m_password, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TLoginForm::UserName() const {
    return m_user->text();
}
void TLoginForm::SetUserName(const QString& name) {
    m_user->setText(name);
}
QString TLoginForm::Password() const {
    return m_password->text();
}
void TLoginForm::SetPassword(const QString& password) {
    m_password->setText(password);
}

void TLoginForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_user->text().isEmpty())
        m_password->setFocus();
    else
        m_user->setFocus();
}
