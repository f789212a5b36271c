// The program against a Firebird server: both databases named "host:/path"
// in the configuration file, the login, and the archive parameters read
// through the server. Runs when a test server is up (ARCHIVE_TEST_SERVER).

#include "ScriptedInteraction.h"
#include "TempDatabase.h"
#include "TestMain.h"

#include "app/ArchiveCore.h"
#include "app/LoginForm.h"
#include "data/DataMod.h"
#include "ui/main/MainForm.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestServer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void loginReadsParametersThroughTheServer();
};

void TestServer::loginReadsParametersThroughTheServer() {
    const QString server = TempDatabase::testServer();
    if (server.isEmpty())
        QSKIP("no test server (ARCHIVE_TEST_SERVER is not set)");
    TempDatabase archive(QStringLiteral("archive.fdb"), server);
    TempDatabase sprav(QStringLiteral("sprav.fdb"), server);
    QVERIFY2(archive.isValid(), qPrintable(archive.errorString()));
    QVERIFY2(sprav.isValid(), qPrintable(sprav.errorString()));
    archive.runScriptFile(QStringLiteral("archive.sql"));
    sprav.runScriptFile(QStringLiteral("sprav.sql"));
    archive.exec(QStringLiteral("update DBPARAMS set NAME = 'Сервер' where PARAM = 1"));
    QVERIFY(archive.path().startsWith(server + u':'));

    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("archive.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[Main]\ndatabasename_archive=%1\ndatabasename_sprav=%2\n")
                  .arg(archive.path(), sprav.path())
                  .toUtf8());
    ini.close();
    TArchiveCore::Instance().Initialize(dir.filePath(QStringLiteral("archive")), {});

    ScriptedInteractionScope ui;
    ui->expectDialog([](QDialog& dialog) {
        auto& login = dynamic_cast<TLoginForm&>(dialog);
        login.SetUserName(QStringLiteral("ARCHOP"));
        login.SetPassword(QStringLiteral("fadqeo"));
        return int(QDialog::Accepted);
    });
    TMainForm form;
    QCOMPARE(form.Startup(), -1);
    QCOMPARE(TArchiveCore::Instance().UserRole(), urFull);
    QCOMPARE(TArchiveCore::Instance().StoreShare(), QStringLiteral("Сервер"));
    QCOMPARE(form.DM()->Base()->attachment()->database(), archive.path());
    form.DM()->Base()->close();
    form.DM()->SprBase()->close();
}

ARCHIVE_TEST_MAIN(TestServer)
#include "tst_server.moc"
