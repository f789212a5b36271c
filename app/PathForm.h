#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class TArchiveSettings;

// Shows the paths of the two databases and the alternatives listed in the
// configuration file's "DB…" sections. Saves nothing.
class TPathForm : public QDialog {
    Q_OBJECT

public:
    TPathForm(const TArchiveSettings& settings, const QStringList& sections, const QString& archivePath,
              const QString& referencePath, QWidget* parent = nullptr);

    QComboBox* SectionList() const { return m_sections; }
    QLineEdit* ArchiveBox() const { return m_archive; }
    QLineEdit* ReferenceBox() const { return m_reference; }

private:
    void ChooseSection(int index);

    const TArchiveSettings& m_settings;
    QComboBox* m_sections;
    QLineEdit* m_archive;
    QLineEdit* m_reference;
};
