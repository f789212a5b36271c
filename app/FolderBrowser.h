#pragma once

// A simple browser over one folder of the document store: lists the folder's
// subfolders and files by name; a double click (or Enter) on a file opens it
// in the desktop, on a subfolder shows that subfolder.

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QListWidget;
class QListWidgetItem;

class TFolderBrowser : public QDialog {
    Q_OBJECT

public:
    TFolderBrowser(const QString& caption, const QString& folder, QWidget* parent = nullptr);

    QString folder() const { return m_folder; }
    void setFolder(const QString& folder);
    // The names shown, subfolders first, each group by name.
    QStringList entries() const;
    // What a double click on the entry does; false when there is no such entry.
    bool activate(const QString& name);

private:
    void onItemActivated(QListWidgetItem* item);

    QString m_folder;
    QLabel* m_path = nullptr;
    QListWidget* m_list = nullptr;
};
