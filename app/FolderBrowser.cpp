#include "app/FolderBrowser.h"

#include "app/DocumentStore.h"
#include "desktop/Interaction.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

constexpr int kIsFolderRole = Qt::UserRole + 1;

} // namespace

TFolderBrowser::TFolderBrowser(const QString& caption, const QString& folder, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    m_path = new QLabel(this);
    m_path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_path);
    m_list = new QListWidget(this);
    layout->addWidget(m_list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemActivated, this, &TFolderBrowser::onItemActivated);
    resize(520, 420);
    setFolder(folder);
}

void TFolderBrowser::setFolder(const QString& folder) {
    m_folder = docstore::WithSeparator(folder);
    m_path->setText(m_folder);
    m_list->clear();
    const QDir dir(m_folder);
    const QDir::SortFlags sort = QDir::Name | QDir::IgnoreCase;
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, sort)) {
        auto* item = new QListWidgetItem(name + QDir::separator(), m_list);
        item->setData(kIsFolderRole, true);
        item->setData(Qt::UserRole, name);
    }
    for (const QString& name : dir.entryList(QDir::Files, sort)) {
        auto* item = new QListWidgetItem(name, m_list);
        item->setData(kIsFolderRole, false);
        item->setData(Qt::UserRole, name);
    }
}

QStringList TFolderBrowser::entries() const {
    QStringList names;
    for (int i = 0; i < m_list->count(); ++i)
        names << m_list->item(i)->data(Qt::UserRole).toString();
    return names;
}

bool TFolderBrowser::activate(const QString& name) {
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->data(Qt::UserRole).toString() == name) {
            onItemActivated(m_list->item(i));
            return true;
        }
    }
    return false;
}

void TFolderBrowser::onItemActivated(QListWidgetItem* item) {
    if (!item)
        return;
    const QString path = m_folder + item->data(Qt::UserRole).toString();
    if (item->data(kIsFolderRole).toBool())
        setFolder(path);
    else
        platform::interaction().openPath(path);
}
