#pragma once

// A small lexer for Firebird SQL text. It knows string literals (including
// q'{...}' literals), quoted identifiers, comments and parameters, so that the
// parts of the layer that look into SQL text (script splitting, parameter
// names, re-ordering) never mistake the inside of a literal or a comment for
// code.

#include "PlatformExport.h"

#include <QString>
#include <QVector>

namespace platform::sql {

enum class TokenKind {
    Whitespace,
    LineComment,  // -- to end of line
    BlockComment, // /* ... */
    String,       // '...' with '' inside, or q'x...x'
    QuotedIdent,  // "..." with "" inside
    Word,         // identifier or keyword: letters, digits, _ and $
    Number,
    Parameter, // :name (the text holds the colon and the name)
    Symbol     // any other single character
};

struct Token {
    TokenKind kind;
    int begin; // offset in the text
    int length;
    // False for a literal, quoted name or comment whose closing the text
    // lacks (it then runs to the end of the text).
    bool terminated = true;

    int end() const { return begin + length; }
    bool isTrivia() const {
        return kind == TokenKind::Whitespace || kind == TokenKind::LineComment ||
               kind == TokenKind::BlockComment;
    }
};

// Splits the whole text into tokens; the tokens cover the text without gaps.
// An unterminated literal or comment runs to the end of the text.
PLATFORM_EXPORT QVector<Token> tokenize(const QString& text);

// The text of a token.
inline QStringView tokenText(const QString& text, const Token& t) {
    return QStringView(text).mid(t.begin, t.length);
}

// True when the token is the word `keyword` (compared without regard to case).
PLATFORM_EXPORT bool isKeyword(const QString& text, const Token& t, QStringView keyword);

// The name of a parameter token without the colon, in upper case (parameter
// names are not case-sensitive); a quoted name (:"Name") keeps its case.
PLATFORM_EXPORT QString parameterName(const QString& text, const Token& t);

} // namespace platform::sql
