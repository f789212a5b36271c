#include "QueryOrder.h"

#include "db/SqlLexer.h"

#include <QStringList>
#include <QVector>

#include <optional>

namespace ostrak {

namespace {

using platform::sql::isKeyword;
using platform::sql::Token;
using platform::sql::tokenize;
using platform::sql::TokenKind;
using platform::sql::tokenText;

bool isSymbol(const QString& sql, const Token& t, QChar c) {
    return t.kind == TokenKind::Symbol && sql.at(t.begin) == c;
}

// The significant tokens of one SELECT statement with the parenthesis level
// each of them stands at; the trailing terminator is not among them.
struct Statement {
    QVector<Token> tokens;
    QVector<int> level;

    int size() const { return tokens.size(); }
};

std::optional<Statement> analyse(const QString& sql) {
    Statement st;
    for (const Token& t : tokenize(sql)) {
        // An unterminated literal or comment: the text is left alone rather than guessed at.
        if (!t.terminated)
            return std::nullopt;
        if (!t.isTrivia())
            st.tokens.push_back(t);
    }
    while (!st.tokens.isEmpty() && isSymbol(sql, st.tokens.back(), u';'))
        st.tokens.pop_back();
    if (st.tokens.isEmpty())
        return std::nullopt;

    int depth = 0;
    st.level.reserve(st.tokens.size());
    for (const Token& t : st.tokens) {
        if (isSymbol(sql, t, u')') && --depth < 0)
            return std::nullopt;
        // A terminator left inside the text means more than one statement.
        if (depth == 0 && isSymbol(sql, t, u';'))
            return std::nullopt;
        st.level.push_back(depth);
        if (isSymbol(sql, t, u'('))
            ++depth;
    }
    if (depth != 0)
        return std::nullopt;

    const Token& first = st.tokens.front();
    if (isKeyword(sql, first, u"SELECT"))
        return st;
    if (isKeyword(sql, first, u"WITH")) {
        for (int k = 1; k < st.size(); ++k) {
            if (st.level[k] == 0 && isKeyword(sql, st.tokens[k], u"SELECT"))
                return st;
        }
    }
    return std::nullopt;
}

// An identifier part, normalised for comparison: plain names are not
// case-sensitive (the server keeps them in upper case), quoted ones are.
QString normalisedPart(const QString& text, const Token& t) {
    const QStringView s = tokenText(text, t);
    if (t.kind == TokenKind::QuotedIdent) {
        QString inner = s.mid(1, s.size() - 2).toString();
        return inner.replace(QStringLiteral("\"\""), QStringLiteral("\""));
    }
    return s.toString().toUpper();
}

bool isIdentifierToken(const Token& t) {
    return t.kind == TokenKind::Word || t.kind == TokenKind::QuotedIdent;
}

// Reads a reference "part[.part...]" from tokens[from, to); returns the
// normalised parts and sets `next` to the first token after it.
QStringList readReference(const QString& text, const QVector<Token>& tokens, int from, int to, int& next) {
    QStringList parts;
    int k = from;
    while (k < to && isIdentifierToken(tokens[k])) {
        parts << normalisedPart(text, tokens[k]);
        ++k;
        if (k + 1 < to && isSymbol(text, tokens[k], u'.') && isIdentifierToken(tokens[k + 1]) &&
            tokens[k].begin == tokens[k - 1].end() && tokens[k + 1].begin == tokens[k].end()) {
            ++k;
            continue;
        }
        break;
    }
    next = k;
    return parts;
}

// Words a column name may not be spelt as without quotes: they would change
// the meaning of the ORDER BY clause or of the clauses around it.
bool isClauseWord(QStringView word) {
    static const char* const words[] = {
        "ASC",    "ASCENDING", "DESC", "DESCENDING", "NULLS", "COLLATE", "ORDER", "BY",    "ROWS",
        "OFFSET", "FETCH",     "FOR",  "WITH",       "UNION", "SELECT",  "FROM",  "WHERE", "OPTIMIZE",
        "AND",    "OR",        "NOT",  "NULL",       "PLAN",  "GROUP",   "HAVING"};
    for (const char* w : words) {
        if (word.compare(QLatin1String(w), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool isPlainName(QStringView s) {
    if (s.isEmpty())
        return false;
    const auto asciiLetter = [](QChar c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    };
    if (!asciiLetter(s.front()))
        return false;
    for (QChar c : s) {
        if (!asciiLetter(c) && !(c >= u'0' && c <= u'9') && c != u'_' && c != u'$')
            return false;
    }
    return !isClauseWord(s);
}

// A field name the caller may hand in: a plain or quoted identifier, or an
// alias and such an identifier joined by a dot, with nothing else around.
struct FieldName {
    QString text;      // as it goes into the statement
    QStringList parts; // normalised for comparison
};

std::optional<FieldName> parseField(const QString& field) {
    FieldName f;
    f.text = field.trimmed();
    if (f.text.isEmpty())
        return std::nullopt;
    const QVector<Token> tokens = tokenize(f.text);
    for (const Token& t : tokens) {
        if (!t.terminated)
            return std::nullopt;
        if (t.kind == TokenKind::Word && !isPlainName(tokenText(f.text, t)))
            return std::nullopt;
        if (t.kind == TokenKind::QuotedIdent && t.length < 3)
            return std::nullopt; // "" names nothing
    }
    int next = 0;
    f.parts = readReference(f.text, tokens, 0, tokens.size(), next);
    if (next != tokens.size() || f.parts.isEmpty() || f.parts.size() > 2)
        return std::nullopt;
    return f;
}

// Two references name the same column when their parts agree; a name without
// an alias also matches the same name with one.
bool sameField(const QStringList& a, const QStringList& b) {
    if (a == b)
        return true;
    return (a.size() == 1 || b.size() == 1) && a.last() == b.last();
}

// The keyword that opens a clause Firebird wants after ORDER BY.
bool startsTrailingClause(const QString& sql, const Statement& st, int k) {
    const Token& t = st.tokens[k];
    if (isKeyword(sql, t, u"ROWS") || isKeyword(sql, t, u"OFFSET") || isKeyword(sql, t, u"FETCH"))
        return true;
    if (k + 1 >= st.size())
        return false;
    const Token& n = st.tokens[k + 1];
    return (isKeyword(sql, t, u"FOR") && isKeyword(sql, n, u"UPDATE")) ||
           (isKeyword(sql, t, u"WITH") && isKeyword(sql, n, u"LOCK")) ||
           (isKeyword(sql, t, u"OPTIMIZE") && isKeyword(sql, n, u"FOR"));
}

// Whether the items of an ORDER BY, tokens [from, to), order by `field` alone,
// and whether descending. Empty when they order by anything else.
std::optional<bool> orderedDescendingBy(const QString& sql, const Statement& st, int from, int to,
                                        const FieldName& field) {
    int next = from;
    const QStringList parts = readReference(sql, st.tokens, from, to, next);
    if (parts.isEmpty() || !sameField(parts, field.parts))
        return std::nullopt;
    bool descending = false;
    int k = next;
    if (k + 1 < to && isKeyword(sql, st.tokens[k], u"COLLATE") && st.tokens[k + 1].kind == TokenKind::Word)
        k += 2;
    if (k < to && (isKeyword(sql, st.tokens[k], u"ASC") || isKeyword(sql, st.tokens[k], u"ASCENDING"))) {
        ++k;
    } else if (k < to &&
               (isKeyword(sql, st.tokens[k], u"DESC") || isKeyword(sql, st.tokens[k], u"DESCENDING"))) {
        descending = true;
        ++k;
    }
    if (k + 1 < to && isKeyword(sql, st.tokens[k], u"NULLS") &&
        (isKeyword(sql, st.tokens[k + 1], u"FIRST") || isKeyword(sql, st.tokens[k + 1], u"LAST")))
        k += 2;
    if (k != to)
        return std::nullopt; // more items, or an expression that merely starts with the name
    return descending;
}

} // namespace

void PrepareQueryForOrdering(QString& sql) {
    const std::optional<Statement> st = analyse(sql);
    if (!st)
        return;
    sql.truncate(st->tokens.back().end());
}

void OrderQueryByField(QString& sql, const QString& field) {
    const std::optional<FieldName> name = parseField(field);
    if (!name)
        return;
    const std::optional<Statement> analysed = analyse(sql);
    if (!analysed)
        return;
    const Statement& st = *analysed;

    // Only the last member of a UNION takes the ORDER BY of the whole.
    int lastUnion = -1;
    for (int k = 0; k < st.size(); ++k) {
        if (st.level[k] == 0 && isKeyword(sql, st.tokens[k], u"UNION"))
            lastUnion = k;
    }
    int orderAt = -1;
    int tailAt = st.size();
    for (int k = 0; k < st.size(); ++k) {
        if (st.level[k] != 0)
            continue;
        const bool orderBy = isKeyword(sql, st.tokens[k], u"ORDER") && k + 1 < st.size() &&
                             isKeyword(sql, st.tokens[k + 1], u"BY");
        if (orderBy) {
            // A second ORDER BY, or one before a UNION member or after ROWS and
            // the like, is not a statement this can rewrite safely.
            if (orderAt >= 0 || k < lastUnion || tailAt < st.size())
                return;
            orderAt = k;
            ++k;
        } else if (k > lastUnion && tailAt == st.size() && startsTrailingClause(sql, st, k)) {
            tailAt = k;
        }
    }
    if (tailAt == 0)
        return;

    bool descending = false;
    if (orderAt >= 0) {
        const std::optional<bool> current = orderedDescendingBy(sql, st, orderAt + 2, tailAt, *name);
        descending = current.has_value() && !*current;
    }
    const QString clause =
        QStringLiteral("ORDER BY ") + name->text + (descending ? QStringLiteral(" DESC") : QString());

    if (orderAt >= 0) {
        const int begin = st.tokens[orderAt].begin;
        const int end = st.tokens[tailAt - 1].end();
        sql.replace(begin, end - begin, clause);
    } else {
        sql.insert(st.tokens[tailAt - 1].end(), QLatin1Char(' ') + clause);
    }
}

} // namespace ostrak
