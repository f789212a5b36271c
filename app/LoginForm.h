#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// The login dialog: user name (pre-filled with the last user) and password.
class TLoginForm : public QDialog {
    Q_OBJECT

public:
    explicit TLoginForm(QWidget* parent = nullptr);

    QString UserName() const;
    void SetUserName(const QString& name);
    QString Password() const;
    void SetPassword(const QString& password);

    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* PasswordEdit() const { return m_password; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_user;
    QLineEdit* m_password;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};
