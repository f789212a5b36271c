#pragma once

// The interaction service for tests: a test scripts the answers the user
// would give, in order, and afterwards inspects what was asked.
//
//     ScriptedInteractionScope ui;
//     ui->expectConfirm(true).expectSaveFile(target);
//     form.exportAll();
//     QCOMPARE(ui->calls().size(), 2);
//     QCOMPARE(ui->calls().at(0).text, expectedQuestion);
//
// A call nobody scripted, or a call of another kind than the next answer,
// fails the running test with a message naming the kind, caption and text,
// and gets the safe answer: No, Cancel, an empty path, "not opened",
// "program not started". Nothing ever blocks.
//
// Answers belong to the test function (and data row) that scripts them: one
// left over when a later test makes a call fails the test that made the
// call, naming the answer and where it came from. ScriptedInteractionScope
// checks at the end of its scope that everything was used.

#include "desktop/Interaction.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class ScriptedInteraction : public platform::IInteraction {
public:
    enum class Kind {
        Message,
        Confirm,
        Ask,
        Error,
        OpenFile,
        SaveFile,
        Folder,
        OpenPath,
        RunProgram,
        Dialog
    };

    // Plays the user in one of the program's dialogs: fills it in and returns
    // the dialog's result (QDialog::Accepted or QDialog::Rejected).
    using DialogHandler = std::function<int(QDialog&)>;

    // One call to the service, as it was made.
    struct Call {
        Kind kind = Kind::Message;
        QWidget* parent = nullptr; // for comparison only; may be gone by now
        QString caption;
        QString text;
        QString details;                                          // showError
        platform::MessageIcon icon = platform::MessageIcon::None; // message
        bool defaultYes = false;                                  // confirm
        QString dir;                                              // choosers: the folder they start in
        QString filter;                                           // file choosers
        QString path;    // openPath: the path; choosers: the path answered
        QString program; // runProgram
        QStringList arguments;
        QString workingDir;
        bool scripted = false; // answered from the script, not with the safe fallback
    };

    ScriptedInteraction();
    ~ScriptedInteraction() override;

    static QString kindName(Kind kind);

    // The scripted service in force, or null when another one is installed.
    static ScriptedInteraction* current();

    // Script the next answers. Each returns *this so answers can be chained.
    ScriptedInteraction& expectMessage();
    ScriptedInteraction& expectConfirm(bool yes);
    ScriptedInteraction& expectAsk(platform::Answer answer);
    ScriptedInteraction& expectError();
    // An empty path is the user cancelling the chooser.
    ScriptedInteraction& expectOpenFile(const QString& path);
    ScriptedInteraction& expectSaveFile(const QString& path);
    ScriptedInteraction& expectFolder(const QString& path);
    ScriptedInteraction& expectOpenPath(bool opened = true);
    ScriptedInteraction& expectRunProgram(const platform::ProgramResult& result);
    ScriptedInteraction& expectDialog(DialogHandler handler);

    // Every call made, scripted or not, oldest first.
    const QList<Call>& calls() const { return m_calls; }
    // The latest call; fails the test when there was none.
    const Call& last() const;
    // Forgets the recorded calls; the scripted answers stay.
    void clear() { m_calls.clear(); }

    int pendingCount() const;
    // Fails the running test naming each answer not used yet, and drops them.
    // Returns true when nothing was left.
    bool verifyAllUsed();

    void message(QWidget* parent, const QString& caption, const QString& text,
                 platform::MessageIcon icon) override;
    bool confirm(QWidget* parent, const QString& caption, const QString& text, bool defaultYes) override;
    platform::Answer ask(QWidget* parent, const QString& caption, const QString& text) override;
    void showError(QWidget* parent, const platform::ErrorReport& report) override;
    QString chooseOpenFile(QWidget* parent, const QString& caption, const QString& dir,
                           const QString& filter) override;
    QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& dir,
                           const QString& filter) override;
    QString chooseFolder(QWidget* parent, const QString& caption, const QString& dir) override;
    int execDialog(QDialog* dialog) override;
    bool openPath(const QString& path) override;
    platform::ProgramResult runProgram(const QString& program, const QStringList& arguments,
                                       const QString& workingDir) override;

private:
    // One scripted answer and the test (function and data row) that scripted it.
    struct Scripted {
        Kind kind = Kind::Message;
        bool yes = false;
        platform::Answer answer = platform::Answer::Cancel;
        QString path;
        platform::ProgramResult program;
        DialogHandler dialog;
        QByteArray owner;
    };

    static Scripted scripted(Kind kind);
    static Call makeCall(Kind kind, QWidget* parent = nullptr, const QString& caption = {},
                         const QString& text = {}, const QString& details = {});
    ScriptedInteraction& push(Scripted answer);
    // Records the call and hands out the next answer if it is of the call's
    // kind; otherwise fails the test and returns nothing.
    std::optional<Scripted> take(Call call);
    void dropStale();

    QList<Call> m_calls;
    QList<Scripted> m_script;
};

// Installs a fresh ScriptedInteraction for the lifetime of the scope and puts
// the previous service back afterwards. At the end of the scope every scripted
// answer must have been used, or the test fails.
class ScriptedInteractionScope {
public:
    ScriptedInteractionScope();
    ~ScriptedInteractionScope();
    ScriptedInteractionScope(const ScriptedInteractionScope&) = delete;
    ScriptedInteractionScope& operator=(const ScriptedInteractionScope&) = delete;

    ScriptedInteraction& service() const { return *m_service; }
    ScriptedInteraction* operator->() const { return m_service; }

private:
    ScriptedInteraction* m_service = nullptr; // owned by the platform while installed
    std::unique_ptr<platform::IInteraction> m_previous;
};
