#include "app/PathForm.h"

#include "app/Settings.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TPathForm::TPathForm(const TArchiveSettings& settings, const QStringList& sections,
                     const QString& archivePath, const QString& referencePath, QWidget* parent)
    : QDialog(parent)
    , m_settings(settings) {
    setWindowTitle(QStringLiteral("Путь к базе данных"));
    m_sections = new QComboBox(this);
    m_sections->addItems(sections);
    m_sections->setCurrentIndex(-1);
    m_archive = new QLineEdit(archivePath.toLower(), this);
    m_archive->setReadOnly(true);
    m_reference = new QLineEdit(referencePath.toLower(), this);
    m_reference->setReadOnly(true);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_sections);
    layout->addWidget(new QLabel(QStringLiteral("Путь к базе данных приложения:"), this));
    layout->addWidget(m_archive);
    layout->addWidget(new QLabel(QStringLiteral("Путь к базе данных справочников"), this));
    layout->addWidget(m_reference);
    layout->addWidget(ok, 0, Qt::AlignRight);
    resize(460, 200);

    connect(m_sections, &QComboBox::activated, this, &TPathForm::ChooseSection);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void TPathForm::ChooseSection(int index) {
    const QString section = m_sections->itemText(index);
    m_archive->setText(m_settings.ReadString(section, QStringLiteral("Archive"), {}).toLower());
    m_reference->setText(m_settings.ReadString(section, QStringLiteral("Sprav"), {}).toLower());
}
