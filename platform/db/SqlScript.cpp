#include "db/SqlScript.h"

#include "db/FbClient.h"
#include "db/SqlLexer.h"

#include <QFile>
#include <QRegularExpression>

namespace platform::db {

namespace {

// The significant words of a statement, comments and blanks left out.
QStringList significantWords(const QString& statement, int limit) {
    QStringList words;
    for (const sql::Token& t : sql::tokenize(statement)) {
        if (t.isTrivia())
            continue;
        words << sql::tokenText(statement, t).toString();
        if (words.size() >= limit)
            break;
    }
    return words;
}

bool isClientCommand(const QString& statement) {
    const QStringList w = significantWords(statement, 2);
    if (w.isEmpty())
        return true; // only comments
    const QString first = w[0].toUpper();
    if (first == u"COMMIT" || first == u"ROLLBACK")
        return w.size() == 1 || w[1].compare(u"WORK", Qt::CaseInsensitive) == 0;
    if (first == u"SET" && w.size() > 1) {
        static const QStringList clientSets = {QStringLiteral("SQL"),     QStringLiteral("NAMES"),
                                               QStringLiteral("AUTODDL"), QStringLiteral("ECHO"),
                                               QStringLiteral("BAIL"),    QStringLiteral("LIST"),
                                               QStringLiteral("STATS"),   QStringLiteral("WARNINGS")};
        return clientSets.contains(w[1].toUpper());
    }
    return false;
}

} // namespace

QStringList splitSqlScript(const QString& script) {
    QStringList statements;
    QString terminator = QStringLiteral(";");
    const QVector<sql::Token> tokens = sql::tokenize(script);
    int statementStart = 0;

    auto finish = [&](int end) {
        const QString statement = script.mid(statementStart, end - statementStart).trimmed();
        static const QRegularExpression setTerm(QStringLiteral("^SET\\s+TERM\\s+(\\S+)$"),
                                                QRegularExpression::CaseInsensitiveOption);
        // SET TERM is told apart on its significant text, so a comment before it does not hide it.
        QString significant;
        for (const sql::Token& t : sql::tokenize(statement))
            significant += t.isTrivia() ? QStringLiteral(" ") : sql::tokenText(statement, t).toString();
        const auto m = setTerm.match(significant.simplified());
        if (m.hasMatch())
            terminator = m.captured(1);
        else if (!isClientCommand(statement))
            statements << statement;
    };

    for (const sql::Token& t : tokens) {
        if (t.kind == sql::TokenKind::String || t.kind == sql::TokenKind::QuotedIdent || t.isTrivia())
            continue;
        // The terminator may be longer than one character and may span tokens ("^^", "!!").
        if (t.begin < statementStart)
            continue;
        if (QStringView(script).mid(t.begin).startsWith(terminator)) {
            // SET TERM changes the terminator: step over the one that ended it.
            const int end = t.begin + int(terminator.size());
            finish(t.begin);
            statementStart = end;
        }
    }
    if (!script.mid(statementStart).trimmed().isEmpty())
        finish(int(script.size()));
    return statements;
}

void runSqlScript(FbAttachment& attachment, const QString& script) {
    for (const QString& statement : splitSqlScript(script)) {
        try {
            attachment.execute(statement);
        } catch (const DatabaseError& e) {
            throw DatabaseError(e.message() + QStringLiteral("\n\nОператор:\n") + statement, e.sqlCode(),
                                e.gdsCode());
        }
    }
}

QString readSqlScriptFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DatabaseError(
            QStringLiteral("Не удалось прочитать скрипт %1: %2").arg(path, file.errorString()));
    return QString::fromUtf8(file.readAll());
}

} // namespace platform::db
