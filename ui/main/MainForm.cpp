#include "ui/main/MainForm.h"

#include "app/LoginForm.h"
#include "app/RegistrySettings.h"
#include "app/SplashForm.h"
#include "data/DataMod.h"
#include "db/RTables.h"
#include "desktop/Interaction.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kMainKey = QStringLiteral("\\Software\\Archive\\Main");

void showMessage(QWidget* parent, const QString& text) {
    platform::interaction().message(parent, QGuiApplication::applicationDisplayName(), text,
                                    platform::MessageIcon::Information);
}

} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Тессарон"));
    CreateMenus();
    CreateToolBar();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* buildPanel = new QHBoxLayout;
    buildPanel->addWidget(new QLabel(QStringLiteral("Стройки"), central));
    m_buildsButton = new QToolButton(central);
    m_buildsButton->setObjectName(QStringLiteral("BldBtn"));
    m_buildsButton->setText(QStringLiteral("..."));
    m_buildsButton->setEnabled(false);
    buildPanel->addWidget(m_buildsButton);
    buildPanel->addStretch();
    layout->addLayout(buildPanel);
    m_notebook = new QTabWidget(central);
    m_notebook->setObjectName(QStringLiteral("Notebook"));
    for (const QString& caption :
         {QStringLiteral("Пояснительные записки"), QStringLiteral("Сметы"), QStringLiteral("Чертежи"),
          QStringLiteral("Чертежи Н.О."), QStringLiteral("Исходящие"), QStringLiteral("Входящие"),
          QStringLiteral("Протоколы"), QStringLiteral("Приказы")})
        m_notebook->addTab(new QWidget(m_notebook), caption);
    m_notebook->setEnabled(false);
    layout->addWidget(m_notebook);
    setCentralWidget(central);
    for (int width : {100, 100, 100, 100, 50}) {
        auto* panel = new QLabel(statusBar());
        panel->setMinimumWidth(width);
        statusBar()->addWidget(panel);
    }
}

TMainForm::~TMainForm() = default;

QAction* TMainForm::AddItem(QMenu* menu, const QString& caption, const QKeySequence& shortcut) {
    QAction* action = menu->addAction(caption);
    action->setShortcut(shortcut);
    // The window holds every command too, so that the keys of items in a
    // hidden menu ("Выбор") still work.
    addAction(action);
    m_items << action;
    return action;
}

QAction* TMainForm::AddTool(const QString& hint, QAction* same) {
    QAction* tool = m_toolBar->addAction(hint);
    tool->setToolTip(hint);
    if (same)
        connect(tool, &QAction::triggered, same, &QAction::trigger);
    m_tools << tool;
    return tool;
}

void TMainForm::CreateMenus() {
    auto menu = [this](QMenu* parent, const QString& title) {
        QMenu* m = parent ? parent->addMenu(title) : menuBar()->addMenu(title);
        m_menus << m;
        return m;
    };
    // A second item with a key that an earlier item already takes shows the
    // key but does not get it.
    auto shownKey = [](const QString& caption, const QString& key) -> QString {
        return caption + u'\t' + key;
    };

    QMenu* choice = menu(nullptr, QStringLiteral("Выбор"));
    choice->menuAction()->setVisible(false);
    AddItem(choice, QStringLiteral("Пояснительные записки"), QKeySequence(Qt::ALT | Qt::Key_1));
    AddItem(choice, QStringLiteral("Сметы"), QKeySequence(Qt::ALT | Qt::Key_2));
    AddItem(choice, QStringLiteral("Чертежи"), QKeySequence(Qt::ALT | Qt::Key_3));
    AddItem(choice, QStringLiteral("Чертежи Н.О."), QKeySequence(Qt::ALT | Qt::Key_4));
    AddItem(choice, QStringLiteral("Исходящие"), QKeySequence(Qt::ALT | Qt::Key_5));
    AddItem(choice, QStringLiteral("Входящие"), QKeySequence(Qt::ALT | Qt::Key_6));
    AddItem(choice, QStringLiteral("Протоколы"), QKeySequence(Qt::ALT | Qt::Key_7));
    QAction* quit = AddItem(choice, QStringLiteral("Выход"), QKeySequence(Qt::ALT | Qt::Key_X));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu* editing = menu(nullptr, QStringLiteral("Редактирование"));
    AddItem(editing, QStringLiteral("Добавить"), QKeySequence(Qt::Key_Insert));
    AddItem(editing, QStringLiteral("Изменить"), QKeySequence(Qt::SHIFT | Qt::Key_Return));
    AddItem(editing, QStringLiteral("Удалить"), QKeySequence(Qt::CTRL | Qt::Key_Delete));
    m_saveChanges =
        AddItem(editing, QStringLiteral("Сохранить изменения"), QKeySequence(Qt::CTRL | Qt::Key_Return));
    m_cancelChanges =
        AddItem(editing, QStringLiteral("Отменить изменения"), QKeySequence(Qt::SHIFT | Qt::Key_Escape));

    QMenu* reports = menu(nullptr, QStringLiteral("Отчеты"));
    QMenu* notes = menu(reports, QStringLiteral("Записки по ..."));
    AddItem(notes, QStringLiteral("проекту"));
    AddItem(notes, QStringLiteral("стройке"));
    AddItem(notes, QStringLiteral("Инв №/Дате поступления"));
    QMenu* smets = menu(reports, QStringLiteral("Сметы по ..."));
    QMenu* smetsByProject = menu(smets, QStringLiteral("проекту"));
    AddItem(smetsByProject, QStringLiteral("действующие"));
    AddItem(smetsByProject, QStringLiteral("все"));
    AddItem(smets, QStringLiteral("Инв №/Дате поступления"));
    QMenu* drafts = menu(reports, QStringLiteral("Чертежи по ..."));
    AddItem(drafts, QStringLiteral("Инв №/Дате поступления"));
    QMenu* draftsByProject = menu(drafts, QStringLiteral("проекту"));
    AddItem(draftsByProject, QStringLiteral("с листами"));
    AddItem(draftsByProject, QStringLiteral("без листов"));
    AddItem(draftsByProject, QStringLiteral("по зданиям(виду) объекта"))->setVisible(false);
    AddItem(draftsByProject, QStringLiteral("по марке объекта"));
    QMenu* positions = menu(reports, QStringLiteral("Чертежи НО"));
    AddItem(positions, QStringLiteral("Инв №/Дате поступления"));
    QMenu* positionsByProject = menu(positions, QStringLiteral("по проекту"));
    AddItem(positionsByProject, QStringLiteral("без листов"));
    AddItem(positionsByProject, QStringLiteral("с листами"))->setEnabled(false);
    AddItem(reports, QStringLiteral("Входящие"))->setEnabled(false);
    AddItem(reports, QStringLiteral("Исходящие"))->setEnabled(false);
    AddItem(reports, QStringLiteral("Протоколы"))->setEnabled(false);
    AddItem(reports, QStringLiteral("Статистика"));

    QMenu* books = menu(nullptr, QStringLiteral("Справочники"));
    AddItem(books, QStringLiteral("Сотрудники"), QKeySequence(Qt::Key_F4));
    AddItem(books, QStringLiteral("Отделы"), QKeySequence(Qt::Key_F5));
    AddItem(books, QStringLiteral("ГИПы"), QKeySequence(Qt::Key_F6));
    AddItem(books, QStringLiteral("Организации"));

    QMenu* service = menu(nullptr, QStringLiteral("Сервис"));
    AddItem(service, QStringLiteral("Показать детали проекта"), QKeySequence(Qt::Key_F2))->setCheckable(true);
    AddItem(service, QStringLiteral("Показать детали элементов"), QKeySequence(Qt::Key_F3))
        ->setCheckable(true);
    AddItem(service, QStringLiteral("Поиск"), QKeySequence(Qt::CTRL | Qt::Key_F));
    AddItem(service, shownKey(QStringLiteral("Повтор поиска"), QStringLiteral("F3")));
    QMenu* serviceNotes = menu(service, QStringLiteral("Пояснительные записки"));
    AddItem(serviceNotes, QStringLiteral("Задолженность сотрудников по ПЗ"),
            QKeySequence(Qt::ALT | Qt::Key_D));
    AddItem(serviceNotes, QStringLiteral("Проверка наличия док-ов ПЗ"));
    AddItem(serviceNotes, QStringLiteral("Экземпляры"));
    QMenu* serviceSmets = menu(service, QStringLiteral("Сметы"));
    AddItem(serviceSmets, QStringLiteral("Экземпляры"));
    QMenu* serviceDrafts = menu(service, QStringLiteral("Чертежи"));
    AddItem(serviceDrafts, QStringLiteral("Листы"));
    AddItem(serviceDrafts, QStringLiteral("Изменения"), QKeySequence(Qt::ALT | Qt::Key_L))->setVisible(false);
    QMenu* letters = menu(service, QStringLiteral("Входящие/Исходящие"));
    AddItem(letters, shownKey(QStringLiteral("Сформировать письмо"), QStringLiteral("Ctrl+F")));
    AddItem(letters, QStringLiteral("Прикрепить существующее письмо"), QKeySequence(Qt::CTRL | Qt::Key_A));
    AddItem(letters, QStringLiteral("Показать док-ты за год..."), QKeySequence(Qt::ALT | Qt::Key_P));
    AddItem(service, QStringLiteral("Список инв.№ и наименований"), QKeySequence(Qt::CTRL | Qt::Key_N));
    AddItem(service, QStringLiteral("Список всех документов"), QKeySequence(Qt::CTRL | Qt::Key_V));
    AddItem(service, QStringLiteral("Перейти к стройке"), QKeySequence(Qt::CTRL | Qt::Key_B))
        ->setEnabled(false);
    AddItem(service, QStringLiteral("Просмотр исходного документа "), QKeySequence(Qt::ALT | Qt::Key_F3));
    AddItem(service, QStringLiteral("Просмотр сканированного документа"), QKeySequence(Qt::ALT | Qt::Key_F2));
    AddItem(service, QStringLiteral("Сортировка по колонке"))->setVisible(false);
    AddItem(service, QStringLiteral("Заархивировать и отправить по  e-mail"),
            QKeySequence(Qt::CTRL | Qt::Key_M));
    AddItem(service, QStringLiteral("Перенести док-т в другой проект/стройку"),
            QKeySequence(Qt::CTRL | Qt::Key_C));
    AddItem(service, QStringLiteral("Создать папку на сервере"));
    QMenu* setup = menu(service, QStringLiteral("Настройка"));
    m_toolBarItem = AddItem(setup, QStringLiteral("Панель инструментов"));
    m_toolBarItem->setCheckable(true);
    QMenu* saver = menu(setup, QStringLiteral("Хранитель экрана"));
    saver->menuAction()->setVisible(false);
    auto* saverGroup = new QActionGroup(this);
    QAction* off = AddItem(saver, QStringLiteral("Отключить"));
    QAction* five = AddItem(saver, QStringLiteral("5 секунд"));
    for (QAction* a : {off, five}) {
        a->setCheckable(true);
        saverGroup->addAction(a);
    }
    off->setChecked(true);
    AddItem(saver, QStringLiteral("Запустить"), QKeySequence(Qt::Key_F12));
    AddItem(setup, QStringLiteral("Параметры архива"));
    QMenu* database = menu(service, QStringLiteral("Работа с БД"));
    AddItem(database, QStringLiteral("Путь к БД"));
    AddItem(database, QStringLiteral("Проверка целостности"));
    AddItem(service, QStringLiteral("Сократить имена папок до 50 символов"))->setVisible(false);
    AddItem(service, QStringLiteral("Листы (экземпляры)"), QKeySequence(Qt::CTRL | Qt::Key_L));
    AddItem(service, QStringLiteral("Удалить ссылку"), QKeySequence(Qt::CTRL | Qt::Key_F12));
    AddItem(service, QStringLiteral("Корректировка данных СМЕТ и ПЗ"))->setVisible(false);

    QMenu* help = menu(nullptr, QStringLiteral("?"));
    AddItem(help, QStringLiteral("О программе"));
    AddItem(help, QStringLiteral("Помощь"), QKeySequence(Qt::Key_F1));

    m_notesPopup = new QMenu(this);
    m_notesPopup->addAction(QStringLiteral("Убрать задолженность"));
}

void TMainForm::CreateToolBar() {
    m_toolBar = addToolBar(QStringLiteral("ToolBar"));
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->hide();
    for (const QString& hidden : {QStringLiteral("Добавить"), QStringLiteral("Редактировать"),
                                  QStringLiteral("Отмена"), QStringLiteral("Сохранить")})
        AddTool(hidden, nullptr)->setVisible(false);
    AddTool(QStringLiteral("Справочник сотрудников"), MenuItem(QStringLiteral("Сотрудники")));
    AddTool(QStringLiteral("Справочник отделов"), MenuItem(QStringLiteral("Отделы")));
    AddTool(QStringLiteral("Справочник ГИПов"), MenuItem(QStringLiteral("ГИПы")));
    AddTool(QStringLiteral("Подробно/кратко"), MenuItem(QStringLiteral("Показать детали элементов")));
    AddTool(QStringLiteral("Поиск"), MenuItem(QStringLiteral("Поиск")));
    AddTool(QStringLiteral("Повтор поиска"), MenuItem(QStringLiteral("Повтор поиска\tF3")));
    AddTool(QStringLiteral("Просмотр исходного документа"),
            MenuItem(QStringLiteral("Просмотр исходного документа ")));
    AddTool(QStringLiteral("Просмотр сканированного документа"),
            MenuItem(QStringLiteral("Просмотр сканированного документа")));
    AddTool(QStringLiteral("Проверка наличия док-ов ПЗ"),
            MenuItem(QStringLiteral("Проверка наличия док-ов ПЗ")));
    AddTool(QStringLiteral("Создать папку на сервере"), MenuItem(QStringLiteral("Создать папку на сервере")));
    AddTool(QStringLiteral("Весь список док-ов"), MenuItem(QStringLiteral("Список всех документов")));
    AddTool(QStringLiteral("Перейти к стройке"), MenuItem(QStringLiteral("Перейти к стройке")))
        ->setEnabled(false);
    AddTool(QStringLiteral("Листы (экземпляры)"), MenuItem(QStringLiteral("Листы (экземпляры)")));
    AddTool(QStringLiteral("Список инв.№ и наименований"),
            MenuItem(QStringLiteral("Список инв.№ и наименований")));
    AddTool(QStringLiteral("Сформировать письмо"), MenuItem(QStringLiteral("Сформировать письмо\tCtrl+F")))
        ->setEnabled(false);
    AddTool(QStringLiteral("Прикрепить существующее письмо"),
            MenuItem(QStringLiteral("Прикрепить существующее письмо")))
        ->setEnabled(false);
    AddTool(QStringLiteral("Задолженность сотрудников по ПЗ"),
            MenuItem(QStringLiteral("Задолженность сотрудников по ПЗ")));
    AddTool(QStringLiteral("ToolButton26"), nullptr)->setVisible(false);
    AddTool(QStringLiteral("Заархивировать и отправить по e-mail"),
            MenuItem(QStringLiteral("Заархивировать и отправить по  e-mail")))
        ->setVisible(false);
    connect(m_toolBarItem, &QAction::toggled, m_toolBar, &QWidget::setVisible);
}

QAction* TMainForm::MenuItem(const QString& caption) const {
    for (QAction* a : m_items)
        if (a->text() == caption)
            return a;
    return nullptr;
}

QMenu* TMainForm::Menu(const QString& title) const {
    for (QMenu* m : m_menus)
        if (m->title() == title)
            return m;
    return nullptr;
}

QAction* TMainForm::ToolButton(const QString& hint) const {
    for (QAction* a : m_tools)
        if (a->toolTip() == hint)
            return a;
    return nullptr;
}

void TMainForm::ApplyRights(TUserRole role) {
    const bool full = role == urFull;
    Menu(QStringLiteral("Редактирование"))->setEnabled(full);
    for (const QString& item :
         {QStringLiteral("Изменения"), QStringLiteral("Проверка целостности"),
          QStringLiteral("Заархивировать и отправить по  e-mail"),
          QStringLiteral("Задолженность сотрудников по ПЗ"), QStringLiteral("Создать папку на сервере"),
          QStringLiteral("Проверка наличия док-ов ПЗ"), QStringLiteral("Сформировать письмо\tCtrl+F"),
          QStringLiteral("Прикрепить существующее письмо")})
        MenuItem(item)->setEnabled(full);
    for (const QString& tool :
         {QStringLiteral("Сформировать письмо"), QStringLiteral("Прикрепить существующее письмо"),
          QStringLiteral("Заархивировать и отправить по e-mail"),
          QStringLiteral("Проверка наличия док-ов ПЗ"), QStringLiteral("Создать папку на сервере"),
          QStringLiteral("Задолженность сотрудников по ПЗ")})
        ToolButton(tool)->setVisible(full);
    MenuItem(QStringLiteral("Перенести док-т в другой проект/стройку"))->setVisible(full);
    Menu(QStringLiteral("Настройка"))->menuAction()->setVisible(full);
}

void TMainForm::LoadLayout() {
    TRegistrySettings registry;
    TArchiveCore& core = TArchiveCore::Instance();
    core.SetLastUser(registry.ReadString(kMainKey, QStringLiteral("LastUser"), QString()));
    core.UserSettings().AutoLogin = registry.ReadBool(kMainKey, QStringLiteral("AutoLogin"), true);
    const bool toolBar = registry.ReadBool(kMainKey, QStringLiteral("ToolBar"), true);
    m_toolBarItem->setChecked(toolBar);
    m_toolBar->setVisible(toolBar);
}

void TMainForm::SaveLayout() {
    TRegistrySettings registry;
    registry.WriteInteger(kMainKey, QStringLiteral("BookMark"), m_notebook->currentIndex());
    registry.WriteString(kMainKey, QStringLiteral("LastUser"), TArchiveCore::Instance().LastUser());
    registry.WriteBool(kMainKey, QStringLiteral("ToolBar"), m_toolBar->isVisible());
}

void TMainForm::closeEvent(QCloseEvent* event) {
    SaveLayout();
    QMainWindow::closeEvent(event);
}

TMainForm::LoginResult TMainForm::Login() {
    TArchiveCore& core = TArchiveCore::Instance();
    if (!m_dm) {
        ShowErrorWindow(QStringLiteral("Archive"), QStringLiteral("Не определена база данных!"), QString());
        return LoginResult::Cancelled;
    }
    TLoginForm login(this);
    login.SetUserName(core.LastUser());
    if (platform::interaction().execDialog(&login) != QDialog::Accepted)
        return LoginResult::Cancelled;
    const QString user = login.UserName();
    const QString password = login.Password();

    if (!core.Connect()) {
        showMessage(this, QStringLiteral("Ошибка при присоединении к БД."));
        return LoginResult::Failed;
    }
    const TUserRole role = core.DetermineRole(user, password);
    m_notebook->setEnabled(true);
    Menu(QStringLiteral("Выбор"))->setEnabled(true);
    Menu(QStringLiteral("Редактирование"))->setEnabled(true);
    m_buildsButton->setEnabled(true);
    m_buildsButton->setFocus();
    if (role == urNoAccess) {
        showMessage(this, QStringLiteral("Доступ запрещен. Проверьте имя пользователя и пароль."));
        return LoginResult::NoAccess;
    }
    ApplyRights(role);
    core.SetLastUser(user);
    return LoginResult::Connected;
}

int TMainForm::Startup() {
    TArchiveCore& core = TArchiveCore::Instance();
    m_saveChanges->setEnabled(false);
    m_cancelChanges->setEnabled(false);

    m_splash = std::make_unique<TSplashForm>(core.DebugMode());
    m_splash->show();
    m_splash->repaint();

    m_dm = std::make_unique<TDM>();
    core.SetDataModule(m_dm.get());
    for (int i = 0; i < 4; ++i)
        m_splash->Step();
    LoadLayout();

    Menu(QStringLiteral("Выбор"))->setEnabled(false);
    Menu(QStringLiteral("Редактирование"))->setEnabled(false);

    const LoginResult result = Login();
    if (result == LoginResult::Cancelled) {
        m_splash.reset();
        return ExitLoginCancelled;
    }
    if (result == LoginResult::NoAccess) {
        m_splash.reset();
        return ExitNoAccess;
    }
    if (result == LoginResult::Failed || !m_dm->Base()->isConnected() || !m_dm->SprBase()->isConnected()) {
        m_splash.reset();
        return ExitNotConnected;
    }
    m_splash->Finish();
    m_splash.reset();
    m_notebook->setCurrentIndex(0);
    return -1;
}
