#include "Interaction.h"

#include "ErrorForm.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace platform {

IInteraction::~IInteraction() = default;

namespace {

// The service lives on the GUI thread; nothing else touches it.
std::unique_ptr<IInteraction>& installedService() {
    static std::unique_ptr<IInteraction> service;
    return service;
}

QMessageBox::Icon toBoxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::None:
        return QMessageBox::NoIcon;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

} // namespace

IInteraction& interaction() {
    auto& service = installedService();
    if (!service)
        service = std::make_unique<QtInteraction>();
    return *service;
}

std::unique_ptr<IInteraction> setInteraction(std::unique_ptr<IInteraction> service) {
    auto& current = installedService();
    std::swap(current, service);
    return service;
}

void QtInteraction::message(QWidget* parent, const QString& caption, const QString& text, MessageIcon icon) {
    QMessageBox box(toBoxIcon(icon), caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtInteraction::confirm(QWidget* parent, const QString& caption, const QString& text, bool defaultYes) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

Answer QtInteraction::ask(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Question, caption, text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

void QtInteraction::showError(QWidget* parent, const ErrorReport& report) {
    // The error window has no owner of its own: it stays on top of whatever is active.
    TErrorForm form(parent);
    form.setWindowTitle(report.caption);
    form.setTexts(report.text, report.details);
    form.exec();
}

int QtInteraction::execDialog(QDialog* dialog) {
    return dialog->exec();
}

QString QtInteraction::chooseOpenFile(QWidget* parent, const QString& caption, const QString& dir,
                                      const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString QtInteraction::chooseSaveFile(QWidget* parent, const QString& caption, const QString& dir,
                                      const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString QtInteraction::chooseFolder(QWidget* parent, const QString& caption, const QString& dir) {
    return QFileDialog::getExistingDirectory(parent, caption, dir, QFileDialog::ShowDirsOnly);
}

bool QtInteraction::openPath(const QString& path) {
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

ProgramResult QtInteraction::runProgram(const QString& program, const QStringList& arguments,
                                        const QString& workingDir) {
    ProgramResult result;
    if (program.isEmpty())
        return result;

    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    // The program gets no input from us and its output goes where ours goes,
    // so it can neither wait on a pipe nor fill our memory.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedChannels);

    QEventLoop loop;
    bool done = false;
    QObject::connect(&process, &QProcess::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart || process.state() == QProcess::NotRunning) {
            done = true;
            loop.quit();
        }
    });

    process.start();
    // A program that cannot be found fails inside start(), before the loop runs.
    if (!done && process.state() != QProcess::NotRunning) {
        // Painting and timers go on while the program runs; the user's clicks and
        // keys wait until it ends, so nothing can close the window that is
        // waiting for the result underneath us.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }

    if (process.error() == QProcess::FailedToStart)
        return result;
    result.started = true;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

} // namespace platform
