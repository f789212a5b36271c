// Start-up: the core's program path and switches, the configuration file,
// the connection of both databases, the login and the user's rights, and the
// way every failure ends the start.

#include "ScriptedInteraction.h"
#include "TempDatabase.h"
#include "TestMain.h"

#include "app/ArchiveCore.h"
#include "app/LoginForm.h"
#include "app/PathForm.h"
#include "data/DataMod.h"
#include "ui/main/MainForm.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Answers the login dialog as a user would.
ScriptedInteraction::DialogHandler logIn(const QString& user, const QString& password) {
    return [=](QDialog& dialog) {
        auto& login = dynamic_cast<TLoginForm&>(dialog);
        login.SetUserName(user);
        login.SetPassword(password);
        return int(QDialog::Accepted);
    };
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();

    void debugSwitch_data();
    void debugSwitch();
    void privilegesGiveRoles_data();
    void privilegesGiveRoles();
    void rolesOfUsers_data();
    void rolesOfUsers();
    void pathDialogListsDbSections();

    void loginConnectsAndAppliesRights_data();
    void loginConnectsAndAppliesRights();
    void cancelledLoginEndsWithCodeOne();
    void emptyArchivePathShowsBothMessages();
    void referenceDatabaseFailureEnds();
    void archiveParametersAreRead();

private:
    // Writes the configuration file beside a program in the temporary folder
    // and sets the core up for that program.
    void configure(const QString& archivePath, const QString& referencePath, const QString& extra = {});
    void createDatabases();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TempDatabase> m_archive;
    std::unique_ptr<TempDatabase> m_sprav;
};

void TestStartup::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_archive.reset();
    m_sprav.reset();
}

void TestStartup::configure(const QString& archivePath, const QString& referencePath, const QString& extra) {
    QFile ini(m_dir->filePath(QStringLiteral("archive.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[Main]\ndatabasename_archive=%1\ndatabasename_sprav=%2\n%3")
                  .arg(archivePath, referencePath, extra)
                  .toUtf8());
    ini.close();
    TArchiveCore::Instance().Initialize(m_dir->filePath(QStringLiteral("archive")), {});
}

void TestStartup::createDatabases() {
    m_archive = std::make_unique<TempDatabase>(QStringLiteral("archive.fdb"));
    m_sprav = std::make_unique<TempDatabase>(QStringLiteral("sprav.fdb"));
    QVERIFY2(m_archive->isValid(), qPrintable(m_archive->errorString()));
    QVERIFY2(m_sprav->isValid(), qPrintable(m_sprav->errorString()));
    m_archive->runScriptFile(QStringLiteral("archive.sql"));
    m_sprav->runScriptFile(QStringLiteral("sprav.sql"));
    // The fixture's own attachments would keep the databases open beside the program's.
    m_archive->detach();
    m_sprav->detach();
}

void TestStartup::debugSwitch_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("debug");
    QTest::newRow("minus, lower case") << QStringList{"-debug"} << true;
    QTest::newRow("slash, upper case") << QStringList{"/DEBUG"} << true;
    QTest::newRow("mixed case among others") << QStringList{"x", "-DeBuG"} << true;
    QTest::newRow("no introducer") << QStringList{"debug"} << false;
    QTest::newRow("double minus") << QStringList{"--debug"} << false;
    QTest::newRow("longer word") << QStringList{"/debugger"} << false;
    QTest::newRow("none") << QStringList{} << false;
}

void TestStartup::debugSwitch() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, debug);
    TArchiveCore& core = TArchiveCore::Instance();
    core.Initialize(m_dir->filePath(QStringLiteral("archive")), arguments);
    QCOMPARE(core.DebugMode(), debug);
    QCOMPARE(core.ExeName(), QStringLiteral("archive"));
    QCOMPARE(core.BaseName(), QStringLiteral("archive"));
    QVERIFY(core.ExePath().endsWith(QDir::separator()));
}

void TestStartup::privilegesGiveRoles_data() {
    QTest::addColumn<QString>("privileges");
    QTest::addColumn<int>("role");
    QTest::newRow("full, usual order") << "SIUDR" << int(urFull);
    QTest::newRow("full, another order") << "SUIDR" << int(urFull);
    QTest::newRow("full, reversed, padded") << "R     D     U     I     S     " << int(urFull);
    QTest::newRow("full with duplicates") << "SSIUDRR" << int(urFull);
    QTest::newRow("select alone") << "S" << int(urReadOnly);
    QTest::newRow("select twice") << "SS" << int(urReadOnly);
    QTest::newRow("select and insert") << "SI" << int(urGuest);
    QTest::newRow("no references") << "SIUD" << int(urGuest);
    QTest::newRow("nothing") << "" << int(urGuest);
}

void TestStartup::privilegesGiveRoles() {
    QFETCH(QString, privileges);
    QFETCH(int, role);
    QCOMPARE(int(TArchiveCore::RoleFromPrivileges(privileges)), role);
}

void TestStartup::rolesOfUsers_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("role");
    QTest::newRow("guest, lower case") << "guest" << TArchiveCore::GuestPassword << int(urGuest);
    QTest::newRow("guest, mixed case") << "GuEsT" << TArchiveCore::GuestPassword << int(urGuest);
    QTest::newRow("archop") << "archop"
                            << "fadqeo" << int(urFull);
    QTest::newRow("archop, wrong password: privileges decide") << "ARCHOP"
                                                               << "FADQEO" << int(urFull);
    QTest::newRow("reader") << "reader"
                            << "x" << int(urReadOnly);
    QTest::newRow("editor, granted one by one") << "Editor"
                                                << "" << int(urFull);
    QTest::newRow("no rows") << "stranger"
                             << "x" << int(urGuest);
}

void TestStartup::rolesOfUsers() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, role);
    createDatabases();
    TempDatabase& archive = *m_archive;
    {
        auto sysdba = platform::db::FbAttachment::attach(archive.connectParams());
        sysdba->execute(QStringLiteral("grant all on BUILDS to ARCHOP"));
        sysdba->execute(QStringLiteral("grant select on BUILDS to READER"));
        for (const char* p : {"update", "references", "select", "delete", "insert"})
            sysdba->execute(QStringLiteral("grant %1 on BUILDS to EDITOR").arg(QLatin1String(p)));
    }
    TDM dm;
    dm.Base()->setParams(
        {QStringLiteral("SERVER NAME=") + archive.path(), QStringLiteral("USER NAME=ARCHOP")});
    dm.Base()->open();
    TArchiveCore& core = TArchiveCore::Instance();
    core.Initialize(m_dir->filePath(QStringLiteral("archive")), {});
    core.SetDataModule(&dm);
    QCOMPARE(int(core.DetermineRole(user, password)), role);
    QCOMPARE(core.UserName(), user);
    core.SetDataModule(nullptr);
}

void TestStartup::pathDialogListsDbSections() {
    configure(QStringLiteral("Server:/data/ARCHIVE.fdb"), QStringLiteral("server:/data/sprav.fdb"),
              QStringLiteral("[DB]\nArchive=a\n[dbLower]\nArchive=b\n[DB_Test]\nArchive=Host:/Test/A.FDB\n"
                             "[DBOnlyArchive]\nArchive=x:/only\n"));
    TArchiveCore& core = TArchiveCore::Instance();
    QCOMPARE(core.DatabaseSections(), (QStringList{"DB_Test", "DBOnlyArchive"}));
    TPathForm form(core.Settings(), core.DatabaseSections(), QStringLiteral("Server:/data/ARCHIVE.fdb"),
                   QStringLiteral("S:/Sprav.FDB"));
    QCOMPARE(form.ArchiveBox()->text(), QStringLiteral("server:/data/archive.fdb"));
    QCOMPARE(form.ReferenceBox()->text(), QStringLiteral("s:/sprav.fdb"));
    QCOMPARE(form.SectionList()->count(), 2);
    Q_EMIT form.SectionList()->activated(0);
    QCOMPARE(form.ArchiveBox()->text(), QStringLiteral("host:/test/a.fdb"));
    QCOMPARE(form.ReferenceBox()->text(), QString());
    Q_EMIT form.SectionList()->activated(1);
    QCOMPARE(form.ArchiveBox()->text(), QStringLiteral("x:/only"));
}

void TestStartup::loginConnectsAndAppliesRights_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("full");
    QTest::newRow("full rights") << "ARCHOP"
                                 << "fadqeo" << true;
    QTest::newRow("guest") << "guest" << TArchiveCore::GuestPassword << false;
}

void TestStartup::loginConnectsAndAppliesRights() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, full);
    createDatabases();
    configure(m_archive->path(), m_sprav->path());
    ScriptedInteractionScope ui;
    ui->expectDialog(logIn(user, password));
    TMainForm form;
    QCOMPARE(form.Startup(), -1);
    QVERIFY(form.DM()->Base()->isConnected());
    QVERIFY(form.DM()->SprBase()->isConnected());
    QCOMPARE(TArchiveCore::Instance().LastUser(), user);

    QCOMPARE(form.Menu(QStringLiteral("Редактирование"))->isEnabled(), full);
    QCOMPARE(form.MenuItem(QStringLiteral("Проверка целостности"))->isEnabled(), full);
    QCOMPARE(form.MenuItem(QStringLiteral("Заархивировать и отправить по  e-mail"))->isEnabled(), full);
    QCOMPARE(form.MenuItem(QStringLiteral("Перенести док-т в другой проект/стройку"))->isVisible(), full);
    QCOMPARE(form.ToolButton(QStringLiteral("Создать папку на сервере"))->isVisible(), full);
    QCOMPARE(form.ToolButton(QStringLiteral("Сформировать письмо"))->isVisible(), full);
    QCOMPARE(form.Menu(QStringLiteral("Настройка"))->menuAction()->isVisible(), full);
    // Commands the rights do not touch.
    QVERIFY(form.MenuItem(QStringLiteral("Поиск"))->isEnabled());
    QVERIFY(!form.MenuItem(QStringLiteral("Сохранить изменения"))->isEnabled());

    // The next start offers the user who logged in.
    form.close();
    TArchiveCore::Instance().Initialize(m_dir->filePath(QStringLiteral("archive")), {});
    QString prefilled;
    ui->expectDialog([&prefilled](QDialog& dialog) {
        prefilled = dynamic_cast<TLoginForm&>(dialog).UserName();
        return int(QDialog::Rejected);
    });
    TMainForm again;
    QCOMPARE(again.Startup(), int(TMainForm::ExitLoginCancelled));
    QCOMPARE(prefilled, user);
}

void TestStartup::cancelledLoginEndsWithCodeOne() {
    configure(QStringLiteral("/nowhere/archive.fdb"), QStringLiteral("/nowhere/sprav.fdb"));
    ScriptedInteractionScope ui;
    ui->expectDialog([](QDialog& dialog) {
        auto& login = dynamic_cast<TLoginForm&>(dialog);
        login.CancelButton()->click();
        return dialog.result();
    });
    TMainForm form;
    QCOMPARE(form.Startup(), int(TMainForm::ExitLoginCancelled));
    QCOMPARE(ui->calls().size(), 1);
}

void TestStartup::emptyArchivePathShowsBothMessages() {
    configure(QString(), QString());
    ScriptedInteractionScope ui;
    ui->expectDialog(logIn(QStringLiteral("ARCHOP"), QStringLiteral("fadqeo"))).expectError().expectMessage();
    TMainForm form;
    QCOMPARE(form.Startup(), int(TMainForm::ExitNotConnected));
    const auto& calls = ui->calls();
    QCOMPARE(calls.at(1).caption, QStringLiteral("Archive"));
    QCOMPARE(calls.at(1).text, QStringLiteral("Ошибка подключения к базе данных приложения!"));
    QVERIFY2(calls.at(1).details.endsWith(QStringLiteral("\r\nArchiveDBName=")),
             qPrintable(calls.at(1).details));
    QCOMPARE(calls.at(2).text, QStringLiteral("Ошибка при присоединении к БД."));
}

void TestStartup::referenceDatabaseFailureEnds() {
    createDatabases();
    const QString missing = m_dir->filePath(QStringLiteral("no-such-sprav.fdb"));
    configure(m_archive->path(), missing);
    ScriptedInteractionScope ui;
    ui->expectDialog(logIn(QStringLiteral("ARCHOP"), QStringLiteral("fadqeo"))).expectError().expectMessage();
    TMainForm form;
    QCOMPARE(form.Startup(), int(TMainForm::ExitNotConnected));
    const auto& error = ui->calls().at(1);
    QCOMPARE(error.caption, QStringLiteral("Archive"));
    QCOMPARE(error.text, QStringLiteral("Ошибка подключения к базе данных справочников!"));
    QVERIFY2(error.details.contains(QStringLiteral("\r\nSpravDBName=") + missing), qPrintable(error.details));
    QCOMPARE(ui->calls().at(2).text, QStringLiteral("Ошибка при присоединении к БД."));
}

void TestStartup::archiveParametersAreRead() {
    createDatabases();
    {
        auto sysdba = platform::db::FbAttachment::attach(m_archive->connectParams());
        sysdba->execute(QStringLiteral("update DBPARAMS set NAME = 'Записки' where PARAM = 3"));
        sysdba->execute(QStringLiteral("delete from DBPARAMS where PARAM = 16"));
    }
    configure(m_archive->path(), m_sprav->path());
    TDM dm;
    TArchiveCore& core = TArchiveCore::Instance();
    core.SetDataModule(&dm);
    ScriptedInteractionScope ui;
    QVERIFY(core.Connect());
    QCOMPARE(core.NotesFolder(), QStringLiteral("Записки"));
    QCOMPARE(core.LetterDraftsDir(), QString());
    QVERIFY(ui->calls().isEmpty());
    core.SetDataModule(nullptr);
}

ARCHIVE_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
