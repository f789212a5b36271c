#pragma once

// Every modal exchange with the user and every hand-over to the desktop goes
// through one service: message boxes, questions, the error window, file and
// folder choosers, opening a file or folder in the desktop, and running an
// external program. The program installs the Qt implementation at start-up;
// tests install a scripted responder that answers and records each call.

#include "PlatformExport.h"

#include <QString>
#include <QStringList>

#include <memory>

class QDialog;
class QWidget;

namespace platform {

enum class MessageIcon { None, Information, Warning, Critical, Question };

enum class Answer { Yes, No, Cancel };

// What the error window shows: a caption, the short text and the details
// that "Подробно" unfolds.
struct ErrorReport {
    QString caption;
    QString text;
    QString details;
};

struct ProgramResult {
    bool started = false;
    int exitCode = -1;
};

class PLATFORM_EXPORT IInteraction {
public:
    virtual ~IInteraction();

    // Plain message box with an OK button.
    virtual void message(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon) = 0;
    // Yes/No confirmation; true on Yes.
    virtual bool confirm(QWidget* parent, const QString& caption, const QString& text, bool defaultYes) = 0;
    // Yes/No/Cancel question.
    virtual Answer ask(QWidget* parent, const QString& caption, const QString& text) = 0;
    // The error window: short text with the details folded away.
    virtual void showError(QWidget* parent, const ErrorReport& report) = 0;

    // Choosers return an empty string when the user cancels.
    virtual QString chooseOpenFile(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter) = 0;
    virtual QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter) = 0;
    virtual QString chooseFolder(QWidget* parent, const QString& caption, const QString& dir) = 0;

    // Shows one of the program's own dialogs modally and returns its result
    // (QDialog::Accepted or Rejected). Tests answer it by filling the dialog in.
    virtual int execDialog(QDialog* dialog) = 0;

    // Opens a file or folder with the desktop's default application.
    virtual bool openPath(const QString& path) = 0;
    // Starts a program and waits for it to end while the user interface keeps
    // processing events.
    virtual ProgramResult runProgram(const QString& program, const QStringList& arguments,
                                     const QString& workingDir) = 0;
};

// The service in force. Until something is installed the Qt implementation is used.
PLATFORM_EXPORT IInteraction& interaction();
// Installs a service and returns the previous one (tests restore it).
PLATFORM_EXPORT std::unique_ptr<IInteraction> setInteraction(std::unique_ptr<IInteraction> service);

// The production implementation: Qt message boxes and dialogs, QDesktopServices, QProcess.
class PLATFORM_EXPORT QtInteraction : public IInteraction {
public:
    void message(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon) override;
    bool confirm(QWidget* parent, const QString& caption, const QString& text, bool defaultYes) override;
    Answer ask(QWidget* parent, const QString& caption, const QString& text) override;
    void showError(QWidget* parent, const ErrorReport& report) override;
    QString chooseOpenFile(QWidget* parent, const QString& caption, const QString& dir,
                           const QString& filter) override;
    QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& dir,
                           const QString& filter) override;
    QString chooseFolder(QWidget* parent, const QString& caption, const QString& dir) override;
    int execDialog(QDialog* dialog) override;
    bool openPath(const QString& path) override;
    ProgramResult runProgram(const QString& program, const QStringList& arguments,
                             const QString& workingDir) override;
};

} // namespace platform
