#include "ScriptedInteraction.h"

#include <QDialog>

#include "HarnessFailure.h"

#include <QTest>

using platform::Answer;
using platform::ProgramResult;

namespace {

// Where an answer is scripted: the running test function and data row.
QByteArray currentOwner() {
    const char* function = QTest::currentTestFunction();
    if (!function)
        return {};
    QByteArray owner(function);
    if (const char* tag = QTest::currentDataTag(); tag && *tag)
        owner += '(' + QByteArray(tag) + ')';
    return owner;
}

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString answerName(Answer answer) {
    switch (answer) {
    case Answer::Yes:
        return QStringLiteral("Yes");
    case Answer::No:
        return QStringLiteral("No");
    case Answer::Cancel:
        return QStringLiteral("Cancel");
    }
    return {};
}

QString describeCall(const ScriptedInteraction::Call& call) {
    using Kind = ScriptedInteraction::Kind;
    QString text = ScriptedInteraction::kindName(call.kind);
    switch (call.kind) {
    case Kind::OpenPath:
        return text + QStringLiteral(" of ") + quoted(call.path);
    case Kind::RunProgram:
        return text + QStringLiteral(" of ") + quoted(call.program) + QStringLiteral(" with arguments ") +
               quoted(call.arguments.join(QLatin1Char(' ')));
    case Kind::OpenFile:
    case Kind::SaveFile:
    case Kind::Folder:
        return text + QStringLiteral(" with caption ") + quoted(call.caption) + QStringLiteral(" in ") +
               quoted(call.dir);
    default:
        return text + QStringLiteral(" with caption ") + quoted(call.caption) + QStringLiteral(" and text ") +
               quoted(call.text);
    }
}

} // namespace

ScriptedInteraction::Scripted ScriptedInteraction::scripted(Kind kind) {
    Scripted answer;
    answer.kind = kind;
    return answer;
}

ScriptedInteraction::Call ScriptedInteraction::makeCall(Kind kind, QWidget* parent, const QString& caption,
                                                        const QString& text, const QString& details) {
    Call call;
    call.kind = kind;
    call.parent = parent;
    call.caption = caption;
    call.text = text;
    call.details = details;
    return call;
}

ScriptedInteraction::ScriptedInteraction() = default;
ScriptedInteraction::~ScriptedInteraction() = default;

QString ScriptedInteraction::kindName(Kind kind) {
    switch (kind) {
    case Kind::Message:
        return QStringLiteral("message");
    case Kind::Confirm:
        return QStringLiteral("confirm");
    case Kind::Ask:
        return QStringLiteral("ask");
    case Kind::Error:
        return QStringLiteral("showError");
    case Kind::OpenFile:
        return QStringLiteral("chooseOpenFile");
    case Kind::SaveFile:
        return QStringLiteral("chooseSaveFile");
    case Kind::Folder:
        return QStringLiteral("chooseFolder");
    case Kind::OpenPath:
        return QStringLiteral("openPath");
    case Kind::RunProgram:
        return QStringLiteral("runProgram");
    case Kind::Dialog:
        return QStringLiteral("dialog");
    }
    return {};
}

ScriptedInteraction* ScriptedInteraction::current() {
    return dynamic_cast<ScriptedInteraction*>(&platform::interaction());
}

// Scripting -----------------------------------------------------------------

ScriptedInteraction& ScriptedInteraction::push(Scripted answer) {
    answer.owner = currentOwner();
    m_script.append(std::move(answer));
    return *this;
}

ScriptedInteraction& ScriptedInteraction::expectMessage() {
    return push(scripted(Kind::Message));
}

ScriptedInteraction& ScriptedInteraction::expectConfirm(bool yes) {
    Scripted answer = scripted(Kind::Confirm);
    answer.yes = yes;
    return push(answer);
}

ScriptedInteraction& ScriptedInteraction::expectAsk(Answer value) {
    Scripted answer = scripted(Kind::Ask);
    answer.answer = value;
    return push(answer);
}

ScriptedInteraction& ScriptedInteraction::expectError() {
    return push(scripted(Kind::Error));
}

ScriptedInteraction& ScriptedInteraction::expectOpenFile(const QString& path) {
    Scripted answer = scripted(Kind::OpenFile);
    answer.path = path;
    return push(answer);
}

ScriptedInteraction& ScriptedInteraction::expectSaveFile(const QString& path) {
    Scripted answer = scripted(Kind::SaveFile);
    answer.path = path;
    return push(answer);
}

ScriptedInteraction& ScriptedInteraction::expectFolder(const QString& path) {
    Scripted answer = scripted(Kind::Folder);
    answer.path = path;
    return push(answer);
}

ScriptedInteraction& ScriptedInteraction::expectOpenPath(bool opened) {
    Scripted answer = scripted(Kind::OpenPath);
    answer.yes = opened;
    return push(answer);
}

ScriptedInteraction& ScriptedInteraction::expectRunProgram(const ProgramResult& result) {
    Scripted answer = scripted(Kind::RunProgram);
    answer.program = result;
    return push(answer);
}

ScriptedInteraction& ScriptedInteraction::expectDialog(DialogHandler handler) {
    Scripted answer = scripted(Kind::Dialog);
    answer.dialog = std::move(handler);
    return push(answer);
}

// Checking ------------------------------------------------------------------

const ScriptedInteraction::Call& ScriptedInteraction::last() const {
    if (m_calls.isEmpty()) {
        static const Call none;
        testsupport::failCurrentTest(QStringLiteral("No call was made to the interaction service"), __FILE__,
                                     __LINE__);
        return none;
    }
    return m_calls.constLast();
}

int ScriptedInteraction::pendingCount() const {
    return int(m_script.size());
}

static QString describeAnswer(ScriptedInteraction::Kind kind, bool yes, Answer answer, const QString& path,
                              const ProgramResult& program) {
    using Kind = ScriptedInteraction::Kind;
    const QString name = ScriptedInteraction::kindName(kind);
    switch (kind) {
    case Kind::Confirm:
        return name + (yes ? QStringLiteral(" -> Yes") : QStringLiteral(" -> No"));
    case Kind::OpenPath:
        return name + (yes ? QStringLiteral(" -> opened") : QStringLiteral(" -> not opened"));
    case Kind::Ask:
        return name + QStringLiteral(" -> ") + answerName(answer);
    case Kind::OpenFile:
    case Kind::SaveFile:
    case Kind::Folder:
        return name + QStringLiteral(" -> ") + quoted(path);
    case Kind::RunProgram:
        return name + (program.started ? QStringLiteral(" -> exit code %1").arg(program.exitCode)
                                       : QStringLiteral(" -> not started"));
    default:
        return name;
    }
}

bool ScriptedInteraction::verifyAllUsed() {
    if (m_script.isEmpty())
        return true;
    QStringList left;
    for (const Scripted& answer : std::as_const(m_script))
        left << describeAnswer(answer.kind, answer.yes, answer.answer, answer.path, answer.program);
    m_script.clear();
    testsupport::failCurrentTest(QStringLiteral("Scripted interaction answers were not used: ") +
                                     left.join(QStringLiteral(", ")),
                                 __FILE__, __LINE__);
    return false;
}

void ScriptedInteraction::dropStale() {
    const QByteArray owner = currentOwner();
    QStringList stale;
    QByteArray staleOwner;
    while (!m_script.isEmpty() && m_script.constFirst().owner != owner) {
        const Scripted& answer = m_script.constFirst();
        stale << describeAnswer(answer.kind, answer.yes, answer.answer, answer.path, answer.program);
        staleOwner = answer.owner;
        m_script.removeFirst();
    }
    if (stale.isEmpty())
        return;
    testsupport::failCurrentTest(
        QStringLiteral("Scripted interaction answers left over from %1 were not used: %2")
            .arg(staleOwner.isEmpty() ? QStringLiteral("outside the tests") : QString::fromUtf8(staleOwner),
                 stale.join(QStringLiteral(", "))),
        __FILE__, __LINE__);
}

std::optional<ScriptedInteraction::Scripted> ScriptedInteraction::take(Call call) {
    dropStale();
    std::optional<Scripted> answer;
    if (m_script.isEmpty()) {
        testsupport::failCurrentTest(QStringLiteral("Unscripted interaction: ") + describeCall(call) +
                                         QStringLiteral(" (nothing was scripted; answered with the safe "
                                                        "negative)"),
                                     __FILE__, __LINE__);
    } else if (m_script.constFirst().kind != call.kind) {
        testsupport::failCurrentTest(QStringLiteral("Unexpected interaction: ") + describeCall(call) +
                                         QStringLiteral(" while the next scripted answer is for ") +
                                         kindName(m_script.constFirst().kind) +
                                         QStringLiteral(" (answered with the safe negative)"),
                                     __FILE__, __LINE__);
    } else {
        answer = m_script.takeFirst();
        call.scripted = true;
        if (call.kind == Kind::OpenFile || call.kind == Kind::SaveFile || call.kind == Kind::Folder)
            call.path = answer->path;
    }
    m_calls.append(std::move(call));
    return answer;
}

// The service -----------------------------------------------------------------

void ScriptedInteraction::message(QWidget* parent, const QString& caption, const QString& text,
                                  platform::MessageIcon icon) {
    Call call = makeCall(Kind::Message, parent, caption, text);
    call.icon = icon;
    take(std::move(call));
}

bool ScriptedInteraction::confirm(QWidget* parent, const QString& caption, const QString& text,
                                  bool defaultYes) {
    Call call = makeCall(Kind::Confirm, parent, caption, text);
    call.defaultYes = defaultYes;
    const auto answer = take(std::move(call));
    return answer && answer->yes;
}

Answer ScriptedInteraction::ask(QWidget* parent, const QString& caption, const QString& text) {
    const auto answer = take(makeCall(Kind::Ask, parent, caption, text));
    return answer ? answer->answer : Answer::Cancel;
}

void ScriptedInteraction::showError(QWidget* parent, const platform::ErrorReport& report) {
    Call call = makeCall(Kind::Error, parent, report.caption, report.text, report.details);
    call.icon = platform::MessageIcon::Critical;
    take(std::move(call));
}

QString ScriptedInteraction::chooseOpenFile(QWidget* parent, const QString& caption, const QString& dir,
                                            const QString& filter) {
    Call call = makeCall(Kind::OpenFile, parent, caption);
    call.dir = dir;
    call.filter = filter;
    const auto answer = take(std::move(call));
    return answer ? answer->path : QString();
}

QString ScriptedInteraction::chooseSaveFile(QWidget* parent, const QString& caption, const QString& dir,
                                            const QString& filter) {
    Call call = makeCall(Kind::SaveFile, parent, caption);
    call.dir = dir;
    call.filter = filter;
    const auto answer = take(std::move(call));
    return answer ? answer->path : QString();
}

QString ScriptedInteraction::chooseFolder(QWidget* parent, const QString& caption, const QString& dir) {
    Call call = makeCall(Kind::Folder, parent, caption);
    call.dir = dir;
    const auto answer = take(std::move(call));
    return answer ? answer->path : QString();
}

int ScriptedInteraction::execDialog(QDialog* dialog) {
    Call call = makeCall(Kind::Dialog, nullptr, dialog->windowTitle());
    call.text = dialog->metaObject()->className();
    const auto answer = take(std::move(call));
    if (!answer || !answer->dialog)
        return QDialog::Rejected;
    return answer->dialog(*dialog);
}

bool ScriptedInteraction::openPath(const QString& path) {
    Call call = makeCall(Kind::OpenPath);
    call.path = path;
    const auto answer = take(std::move(call));
    return answer && answer->yes;
}

ProgramResult ScriptedInteraction::runProgram(const QString& program, const QStringList& arguments,
                                              const QString& workingDir) {
    Call call = makeCall(Kind::RunProgram);
    call.program = program;
    call.arguments = arguments;
    call.workingDir = workingDir;
    const auto answer = take(std::move(call));
    return answer ? answer->program : ProgramResult{};
}

// The scope -------------------------------------------------------------------

ScriptedInteractionScope::ScriptedInteractionScope() {
    auto service = std::make_unique<ScriptedInteraction>();
    m_service = service.get();
    m_previous = platform::setInteraction(std::move(service));
}

ScriptedInteractionScope::~ScriptedInteractionScope() {
    std::unique_ptr<platform::IInteraction> ours = platform::setInteraction(std::move(m_previous));
    if (ours.get() != m_service) {
        // Someone installed another service inside the scope and so already
        // destroyed ours; there is nothing left to check.
        testsupport::failCurrentTest(QStringLiteral("The interaction service was replaced inside a "
                                                    "ScriptedInteractionScope and not restored"),
                                     __FILE__, __LINE__);
        return;
    }
    m_service->verifyAllUsed();
}
