#include "db/SqlLexer.h"

namespace platform::sql {

namespace {

bool isWordStart(QChar c) {
    return c.isLetter() || c == u'_';
}
bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'$';
}

QChar closingOf(QChar open) {
    switch (open.unicode()) {
    case u'(':
        return u')';
    case u'[':
        return u']';
    case u'{':
        return u'}';
    case u'<':
        return u'>';
    default:
        return open;
    }
}

// Scans a literal that ends with `quote`, where a doubled quote stands for
// one; clears `terminated` when the text ends first.
int scanQuoted(const QString& s, int pos, QChar quote, bool* terminated) {
    const int n = s.size();
    int i = pos + 1;
    while (i < n) {
        if (s[i] == quote) {
            if (i + 1 < n && s[i + 1] == quote) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    *terminated = false;
    return n;
}

} // namespace

QVector<Token> tokenize(const QString& s) {
    QVector<Token> out;
    const int n = s.size();
    int i = 0;
    while (i < n) {
        const int start = i;
        const QChar c = s[i];
        TokenKind kind = TokenKind::Symbol;
        bool terminated = true;
        if (c.isSpace()) {
            while (i < n && s[i].isSpace())
                ++i;
            kind = TokenKind::Whitespace;
        } else if (c == u'-' && i + 1 < n && s[i + 1] == u'-') {
            while (i < n && s[i] != u'\n')
                ++i;
            kind = TokenKind::LineComment;
        } else if (c == u'/' && i + 1 < n && s[i + 1] == u'*') {
            const int close = s.indexOf(QStringLiteral("*/"), i + 2);
            terminated = close >= 0;
            i = close < 0 ? n : close + 2;
            kind = TokenKind::BlockComment;
        } else if ((c == u'q' || c == u'Q') && i + 2 < n && s[i + 1] == u'\'') {
            const QChar close = closingOf(s[i + 2]);
            int j = i + 3;
            while (j + 1 < n && !(s[j] == close && s[j + 1] == u'\''))
                ++j;
            terminated = j + 1 < n;
            i = terminated ? j + 2 : n;
            kind = TokenKind::String;
        } else if (c == u'\'') {
            i = scanQuoted(s, i, u'\'', &terminated);
            kind = TokenKind::String;
        } else if (c == u'"') {
            i = scanQuoted(s, i, u'"', &terminated);
            kind = TokenKind::QuotedIdent;
        } else if (isWordStart(c)) {
            while (i < n && isWordChar(s[i]))
                ++i;
            kind = TokenKind::Word;
        } else if (c.isDigit() || (c == u'.' && i + 1 < n && s[i + 1].isDigit())) {
            while (i < n && (s[i].isLetterOrNumber() || s[i] == u'.'))
                ++i;
            kind = TokenKind::Number;
        } else if (c == u':' && i + 1 < n && (isWordStart(s[i + 1]) || s[i + 1] == u'"')) {
            if (s[i + 1] == u'"') {
                i = scanQuoted(s, i + 1, u'"', &terminated);
            } else {
                ++i;
                while (i < n && isWordChar(s[i]))
                    ++i;
            }
            kind = TokenKind::Parameter;
        } else {
            ++i;
        }
        out.push_back(Token{kind, start, i - start, terminated});
    }
    return out;
}

bool isKeyword(const QString& text, const Token& t, QStringView keyword) {
    return t.kind == TokenKind::Word && tokenText(text, t).compare(keyword, Qt::CaseInsensitive) == 0;
}

QString parameterName(const QString& text, const Token& t) {
    QStringView name = tokenText(text, t).mid(1);
    if (name.startsWith(u'"')) {
        QString inner = name.mid(1, name.size() - 2).toString();
        return inner.replace(QStringLiteral("\"\""), QStringLiteral("\""));
    }
    return name.toString().toUpper();
}

} // namespace platform::sql
