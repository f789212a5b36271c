#pragma once

// The main window. This holds the frame: its menus, tool bar and grid
// pop-up with their captions and shortcuts, the start-up sequence (splash,
// data module, layout, login, connection, rights) and the rights applied to
// the commands.

#include "app/ArchiveCore.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QMenu;
class QTabWidget;
class QToolBar;
class QToolButton;
class TDM;
class TSplashForm;

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // Exit codes of a start that ends before the window runs.
    static constexpr int ExitLoginCancelled = 1;
    static constexpr int ExitNotConnected = 2;
    static constexpr int ExitNoAccess = 3;

    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Runs the start-up sequence. Returns -1 when the window is ready to
    // run, else the exit code with which the program ends.
    int Startup();

    TDM* DM() const { return m_dm.get(); }

    // The commands, by caption (menu items) or hint (tool buttons).
    QAction* MenuItem(const QString& caption) const;
    QMenu* Menu(const QString& title) const;
    QAction* ToolButton(const QString& hint) const;
    QMenu* NotesPopup() const { return m_notesPopup; }

    // Applies the rights of a role to the commands.
    void ApplyRights(TUserRole role);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    enum class LoginResult { Connected, Cancelled, Failed, NoAccess };

    void CreateMenus();
    void CreateToolBar();
    QAction* AddItem(QMenu* menu, const QString& caption, const QKeySequence& shortcut = {});
    QAction* AddTool(const QString& hint, QAction* same);
    void LoadLayout();
    void SaveLayout();
    LoginResult Login();

    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<TSplashForm> m_splash;
    QToolBar* m_toolBar = nullptr;
    QTabWidget* m_notebook = nullptr;
    QToolButton* m_buildsButton = nullptr;
    QMenu* m_notesPopup = nullptr;
    QList<QMenu*> m_menus;
    QList<QAction*> m_items;
    QList<QAction*> m_tools;
    QAction* m_saveChanges = nullptr;
    QAction* m_cancelChanges = nullptr;
    QAction* m_toolBarItem = nullptr;
};
