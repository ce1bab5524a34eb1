#include "jetdialect.h"

#include <QDate>
#include <QTime>
#include <QVector>

namespace store {

namespace {

// The pieces of a statement the translator tells apart. Everything between
// quotes (single or double) or brackets is one token and is copied unchanged.
struct Token
{
    enum Kind { Space, Word, Number, SingleQuoted, DoubleQuoted, Bracketed, DateLiteral, Symbol };
    Kind kind;
    QString text;
};

bool isWordStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_') || c.unicode() >= 0x80;
}

bool isWordChar(QChar c)
{
    return isWordStart(c) || c.isDigit() || c == QLatin1Char('$');
}

bool isQuoteOrBracket(QChar c)
{
    return c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[')
           || c == QLatin1Char(']');
}

// Splits the statement into tokens. Unterminated quotes or brackets run to
// the end of the text, so nothing after them is ever rewritten.
QVector<Token> tokenize(const QString &sql)
{
    QVector<Token> tokens;
    const int n = sql.size();
    int i = 0;
    auto quoted = [&](QChar close, Token::Kind kind) {
        const int start = i++;
        while (i < n) {
            if (sql.at(i) == close) {
                // A doubled closing quote stands for the quote itself.
                if (close != QLatin1Char(']') && i + 1 < n && sql.at(i + 1) == close) {
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            ++i;
        }
        tokens.push_back({kind, sql.mid(start, i - start)});
    };
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            const int start = i;
            while (i < n && sql.at(i).isSpace())
                ++i;
            tokens.push_back({Token::Space, sql.mid(start, i - start)});
        } else if (c == QLatin1Char('\'')) {
            quoted(QLatin1Char('\''), Token::SingleQuoted);
        } else if (c == QLatin1Char('"')) {
            quoted(QLatin1Char('"'), Token::DoubleQuoted);
        } else if (c == QLatin1Char('[')) {
            quoted(QLatin1Char(']'), Token::Bracketed);
        } else if (c == QLatin1Char('#')) {
            // A date literal runs to the next # unless a quote or bracket
            // comes first: then this # stands alone (Jet refuses it, and so
            // will SQLite) and the quoted text after it stays one token.
            int close = i + 1;
            while (close < n && sql.at(close) != QLatin1Char('#')
                   && !isQuoteOrBracket(sql.at(close)))
                ++close;
            if (close < n && sql.at(close) == QLatin1Char('#')) {
                tokens.push_back({Token::DateLiteral, sql.mid(i, close + 1 - i)});
                i = close + 1;
            } else {
                tokens.push_back({Token::Symbol, QString(c)});
                ++i;
            }
        } else if (c.isDigit()) {
            const int start = i;
            while (i < n && (sql.at(i).isDigit() || sql.at(i) == QLatin1Char('.')))
                ++i;
            tokens.push_back({Token::Number, sql.mid(start, i - start)});
        } else if (isWordStart(c)) {
            const int start = i;
            while (i < n && isWordChar(sql.at(i)))
                ++i;
            tokens.push_back({Token::Word, sql.mid(start, i - start)});
        } else {
            tokens.push_back({Token::Symbol, QString(c)});
            ++i;
        }
    }
    return tokens;
}

bool isWord(const Token &t, const char *keyword)
{
    return t.kind == Token::Word
           && t.text.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
}

bool isSymbol(const Token &t, char symbol)
{
    return t.kind == Token::Symbol && t.text.size() == 1 && t.text.at(0) == QLatin1Char(symbol);
}

// Index of the next token after i that is not white space, or tokens.size().
int nextSignificant(const QVector<Token> &tokens, int i)
{
    ++i;
    while (i < tokens.size() && tokens.at(i).kind == Token::Space)
        ++i;
    return i;
}

int previousSignificant(const QVector<Token> &tokens, int i)
{
    --i;
    while (i >= 0 && tokens.at(i).kind == Token::Space)
        --i;
    return i;
}

// The name a table or column token stands for, without its quotes.
QString unquotedName(const Token &t)
{
    if (t.kind == Token::Bracketed || t.kind == Token::DoubleQuoted) {
        QString inner = t.text.mid(1, t.text.size() - 2);
        if (t.kind == Token::DoubleQuoted)
            inner.replace(QLatin1String("\"\""), QLatin1String("\""));
        return inner;
    }
    return t.text;
}

bool isName(const Token &t)
{
    return t.kind == Token::Word || t.kind == Token::Bracketed || t.kind == Token::DoubleQuoted;
}

QString joined(const QVector<Token> &tokens)
{
    QString out;
    for (const Token &t : tokens)
        out += t.text;
    return out;
}

// "ALTER TABLE T ALTER COLUMN c LONG": the one column change Jet statements
// here make. Anything else is left to SQLite (which refuses it).
bool matchAlterToLong(const QVector<Token> &tokens, TranslatedSql &result)
{
    QVector<int> sig;
    for (int i = 0; i < tokens.size(); ++i) {
        if (tokens.at(i).kind != Token::Space && !isSymbol(tokens.at(i), ';'))
            sig.push_back(i);
    }
    if (sig.size() != 7)
        return false;
    const Token &type = tokens.at(sig.at(6));
    if (!isWord(tokens.at(sig.at(0)), "ALTER") || !isWord(tokens.at(sig.at(1)), "TABLE")
        || !isName(tokens.at(sig.at(2))) || !isWord(tokens.at(sig.at(3)), "ALTER")
        || !isWord(tokens.at(sig.at(4)), "COLUMN") || !isName(tokens.at(sig.at(5)))
        || !(isWord(type, "LONG") || isWord(type, "INTEGER") || isWord(type, "INT"))) {
        return false;
    }
    result.kind = TranslatedSql::Kind::AlterToLong;
    result.table = unquotedName(tokens.at(sig.at(2)));
    result.column = unquotedName(tokens.at(sig.at(5)));
    result.sql = joined(tokens);
    return true;
}

// A name as PostgreSQL must read it: a bare word as written (the server folds
// it to lower case, as it did the schema's names), a quoted or bracketed one
// as a quoted identifier in lower case.
QString postgresName(const Token &t)
{
    if (t.kind == Token::Word)
        return t.text;
    QString name = unquotedName(t).toLower();
    name.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// The last token of the operand that starts at token first: a parenthesised
// expression or call up to its closing parenthesis, a name with its
// qualifiers, or the one token; -1 when nothing is there.
int operandEnd(const QVector<Token> &tokens, int first)
{
    if (first >= tokens.size())
        return -1;
    int open = first;
    if (tokens.at(first).kind == Token::Word || tokens.at(first).kind == Token::DoubleQuoted
        || tokens.at(first).kind == Token::Bracketed) {
        int last = first;
        // Sale.Num, [Sale].[Num]
        for (int dot = nextSignificant(tokens, last);
             dot + 1 < tokens.size() && isSymbol(tokens.at(dot), '.');
             dot = nextSignificant(tokens, last))
            last = nextSignificant(tokens, dot);
        open = nextSignificant(tokens, last);
        if (open >= tokens.size() || !isSymbol(tokens.at(open), '('))
            return last;
    } else if (!isSymbol(tokens.at(first), '(')) {
        return first;
    }
    int depth = 0;
    for (int i = open; i < tokens.size(); ++i) {
        if (isSymbol(tokens.at(i), '('))
            ++depth;
        else if (isSymbol(tokens.at(i), ')') && --depth == 0)
            return i;
    }
    return -1;
}

// One key of an ORDER BY, its tokens first to last: ordered as the file
// engine orders it, an empty value (NULL) as the smallest of all. A record
// number is never empty and is left as it is, so that the server still reads
// it in order from its key.
void orderKeyAsFile(QVector<Token> &tokens, int first, int last)
{
    if (last < first)
        return;
    const int prior = previousSignificant(tokens, last);
    if (isWord(tokens.at(prior >= 0 ? prior : last), "NULLS"))
        return;
    const bool descending = isWord(tokens.at(last), "DESC");
    const int expressionEnd = descending || isWord(tokens.at(last), "ASC")
                                      ? previousSignificant(tokens, last)
                                      : last;
    const int qualifier = previousSignificant(tokens, expressionEnd);
    const bool recordNumber = expressionEnd >= first && isName(tokens.at(expressionEnd))
                              && unquotedName(tokens.at(expressionEnd))
                                                 .compare(QLatin1String("ID"), Qt::CaseInsensitive)
                                         == 0
                              && (qualifier < first
                                  || (isSymbol(tokens.at(qualifier), '.')
                                      && previousSignificant(tokens, qualifier) == first));
    if (!recordNumber)
        tokens[last].text
                += descending ? QStringLiteral(" NULLS LAST") : QStringLiteral(" NULLS FIRST");
}

// Every ORDER BY's keys, each ending at a comma or a closing parenthesis of
// its own depth, a semicolon, the clause that follows (LIMIT, FOR UPDATE, …)
// or the end.
void orderEmptyValuesFirst(QVector<Token> &tokens)
{
    for (int i = 0; i < tokens.size(); ++i) {
        const int by = nextSignificant(tokens, i);
        if (!isWord(tokens.at(i), "ORDER") || by >= tokens.size() || !isWord(tokens.at(by), "BY"))
            continue;
        int depth = 0;
        int first = nextSignificant(tokens, by);
        int last = -1;
        int j = first;
        for (; j < tokens.size(); ++j) {
            const Token &t = tokens.at(j);
            if (isSymbol(t, '(')) {
                ++depth;
            } else if (depth > 0 && isSymbol(t, ')')) {
                --depth;
            } else if (depth == 0 && isSymbol(t, ',')) {
                orderKeyAsFile(tokens, first, last);
                first = nextSignificant(tokens, j);
                last = -1;
                continue;
            } else if (depth == 0
                       && (isSymbol(t, ')') || isSymbol(t, ';') || isWord(t, "LIMIT")
                           || isWord(t, "OFFSET") || isWord(t, "UNION") || isWord(t, "FOR")
                           || isWord(t, "FETCH"))) {
                break;
            }
            if (t.kind != Token::Space)
                last = j;
        }
        orderKeyAsFile(tokens, first, last);
        i = j - 1;
    }
}

// The PostgreSQL spelling of the names, texts and operators that differ.
// The tokens keep their count, so the passes after this one still apply.
void renderForPostgres(QVector<Token> &tokens)
{
    int parameters = 0;
    for (int i = 0; i < tokens.size(); ++i) {
        Token &t = tokens[i];
        if (isSymbol(t, '?')) {
            // The server numbers its parameters.
            t.text = QStringLiteral("$%1").arg(++parameters);
        } else if (t.kind == Token::Bracketed) {
            t.text = postgresName(t);
            t.kind = Token::DoubleQuoted;
        } else if (t.kind == Token::DoubleQuoted) {
            QString text = unquotedName(t);
            text.replace(QLatin1Char('\''), QLatin1String("''"));
            t.text = QLatin1Char('\'') + text + QLatin1Char('\'');
            t.kind = Token::SingleQuoted;
            // A text written against another one must not join it.
            if (i > 0 && tokens.at(i - 1).kind == Token::SingleQuoted)
                t.text.prepend(QLatin1Char(' '));
            if (i + 1 < tokens.size() && tokens.at(i + 1).kind == Token::SingleQuoted)
                t.text.append(QLatin1Char(' '));
        } else if (isWord(t, "RIGHT")) {
            // Staff.Right is a column; on the server RIGHT is a reserved
            // word unless it opens a join or calls the function.
            const int after = nextSignificant(tokens, i);
            const bool keyword
                    = after < tokens.size()
                      && (isSymbol(tokens.at(after), '(') || isWord(tokens.at(after), "JOIN")
                          || isWord(tokens.at(after), "OUTER"));
            if (!keyword)
                t.text = QStringLiteral("\"right\"");
        } else if (isWord(t, "LIKE")) {
            t.text = QStringLiteral("ILIKE");
        } else if (isWord(t, "BINARY")) {
            const int prior = previousSignificant(tokens, i);
            if (prior >= 0 && isWord(tokens.at(prior), "COLLATE"))
                t.text = QStringLiteral("\"C\"");
        }
    }
    // A division by zero gives NULL, as on a file set, instead of failing
    // the whole statement. After the names are spelled, so that they keep it.
    for (int i = 0; i < tokens.size(); ++i) {
        if (!isSymbol(tokens.at(i), '/'))
            continue;
        const int first = nextSignificant(tokens, i);
        const int last = operandEnd(tokens, first);
        if (last >= first) {
            tokens[first].text.prepend(QStringLiteral("NULLIF("));
            tokens[last].text.append(QStringLiteral(", 0)"));
        }
    }
    orderEmptyValuesFirst(tokens);
}

// Index of the first FROM outside parentheses at or after start, or -1.
int topLevelFrom(const QVector<Token> &tokens, int start)
{
    int depth = 0;
    for (int i = start; i < tokens.size(); ++i) {
        if (isSymbol(tokens.at(i), '('))
            ++depth;
        else if (isSymbol(tokens.at(i), ')'))
            --depth;
        else if (depth == 0 && isWord(tokens.at(i), "FROM"))
            return i;
    }
    return -1;
}

// For the table name at i, the index of what follows it and its alias ("AS a",
// or a bare name that is not a keyword).
int afterAlias(const QVector<Token> &tokens, int i)
{
    i = nextSignificant(tokens, i);
    if (i < tokens.size() && isWord(tokens.at(i), "AS"))
        return nextSignificant(tokens, nextSignificant(tokens, i));
    static const char *const keywords[]
            = {"WHERE", "ORDER", "LIMIT", "GROUP", "HAVING",  "UNION", "EXCEPT",  "INTERSECT",
               "JOIN",  "INNER", "LEFT",  "CROSS", "NATURAL", "ON",    "INDEXED", "NOT"};
    if (i >= tokens.size() || tokens.at(i).kind != Token::Word)
        return i;
    for (const char *keyword : keywords) {
        if (isWord(tokens.at(i), keyword))
            return i;
    }
    return nextSignificant(tokens, i);
}

} // namespace

QString jetDateToSqlite(const QString &literalBody)
{
    const QString body = literalBody.trimmed();
    if (body.isEmpty())
        return QString();

    // Split into a date part and an optional time part.
    QString datePart = body;
    QString timePart;
    const int space = body.indexOf(QLatin1Char(' '));
    if (space >= 0) {
        datePart = body.left(space);
        timePart = body.mid(space + 1).trimmed();
    } else if (body.contains(QLatin1Char(':'))) {
        // A time alone is a time on Jet's day zero.
        datePart.clear();
        timePart = body;
    }

    auto numbers = [](const QString &text, QChar separator, int count, QVector<int> &out) {
        const QStringList parts = text.split(separator);
        if (parts.size() != count)
            return false;
        for (const QString &part : parts) {
            if (part.isEmpty() || part.size() > 4)
                return false;
            for (QChar c : part) {
                if (!c.isDigit() || c.unicode() > 0x7f)
                    return false;
            }
            out.push_back(part.toInt());
        }
        return true;
    };

    QDate date(1899, 12, 30);
    if (!datePart.isEmpty()) {
        QVector<int> p;
        const QChar sep = datePart.contains(QLatin1Char('-')) ? QLatin1Char('-') : QLatin1Char('/');
        if (!numbers(datePart, sep, 3, p))
            return QString();
        const bool yearFirst = datePart.indexOf(sep) == 4 || p.at(0) > 31;
        if (yearFirst)
            date = QDate(p.at(0), p.at(1), p.at(2));
        else if (sep == QLatin1Char('/'))
            date = QDate(p.at(2), p.at(0), p.at(1)); // US order month/day/year
        else
            return QString();
        if (!date.isValid())
            return QString();
    }

    int hour = 0, minute = 0, second = 0;
    if (!timePart.isEmpty()) {
        QString clock = timePart;
        int pmShift = -1; // -1: 24-hour clock, 0: AM, 12: PM
        const QString upper = clock.toUpper();
        if (upper.endsWith(QLatin1String("AM")) || upper.endsWith(QLatin1String("PM"))) {
            pmShift = upper.endsWith(QLatin1String("PM")) ? 12 : 0;
            clock = clock.left(clock.size() - 2).trimmed();
        }
        QVector<int> t;
        const int fields = clock.count(QLatin1Char(':')) + 1;
        if ((fields != 2 && fields != 3) || !numbers(clock, QLatin1Char(':'), fields, t))
            return QString();
        hour = t.at(0);
        minute = t.at(1);
        second = fields == 3 ? t.at(2) : 0;
        if (pmShift >= 0) {
            if (hour < 1 || hour > 12)
                return QString();
            hour = hour % 12 + pmShift;
        }
        if (!QTime::isValid(hour, minute, second))
            return QString();
    }

    return QStringLiteral("%1-%2-%3 %4:%5:%6")
            .arg(date.year(), 4, 10, QLatin1Char('0'))
            .arg(date.month(), 2, 10, QLatin1Char('0'))
            .arg(date.day(), 2, 10, QLatin1Char('0'))
            .arg(hour, 2, 10, QLatin1Char('0'))
            .arg(minute, 2, 10, QLatin1Char('0'))
            .arg(second, 2, 10, QLatin1Char('0'));
}

namespace {

// Jet reads "FROM (SELECT …)" without a name for the inner query; the
// server wants one. Every such query gets its own name (sub1, sub2, …),
// written after its closing parenthesis and ahead of any text already due
// there.
void nameDerivedTables(const QVector<Token> &tokens, QVector<QString> &before)
{
    static const char *const notAnAlias[]
            = {"WHERE",  "GROUP",     "ORDER",   "HAVING", "LIMIT", "UNION",
               "EXCEPT", "INTERSECT", "INNER",   "LEFT",   "RIGHT", "FULL",
               "CROSS",  "JOIN",      "NATURAL", "ON",     "OUTER", "OFFSET"};
    QVector<bool> open; // per open parenthesis: does it hold a derived table
    int named = 0;
    for (int i = 0; i < tokens.size(); ++i) {
        if (isSymbol(tokens.at(i), '(')) {
            const int prior = previousSignificant(tokens, i);
            const int after = nextSignificant(tokens, i);
            open << (prior >= 0
                     && (isWord(tokens.at(prior), "FROM") || isWord(tokens.at(prior), "JOIN"))
                     && after < tokens.size() && isWord(tokens.at(after), "SELECT"));
            continue;
        }
        if (!isSymbol(tokens.at(i), ')') || open.isEmpty())
            continue;
        if (!open.takeLast())
            continue;
        const int after = nextSignificant(tokens, i);
        bool aliased = after < tokens.size() && tokens.at(after).kind != Token::Symbol
                       && tokens.at(after).kind != Token::Space;
        for (const char *keyword : notAnAlias)
            aliased = aliased && !isWord(tokens.at(after), keyword);
        if (!aliased)
            before[i + 1].prepend(QStringLiteral(" AS sub%1").arg(++named));
    }
}

} // namespace

TranslatedSql translateJet(const QString &jetSql, SqlTarget target)
{
    const bool postgres = target == SqlTarget::Postgres;
    TranslatedSql result;
    QVector<Token> tokens = tokenize(jetSql);

    if (matchAlterToLong(tokens, result)) {
        if (postgres) {
            const auto name = [](const QString &n) {
                return postgresName(
                        Token{Token::Bracketed, QLatin1Char('[') + n + QLatin1Char(']')});
            };
            // round() of a double rounds halves to even there; of a numeric
            // away from zero, as the file sets round them.
            result.sql = QStringLiteral("ALTER TABLE %1 ALTER COLUMN %2 TYPE bigint USING "
                                        "round(%2::numeric)::bigint")
                                 .arg(name(result.table), name(result.column));
        }
        return result;
    }
    if (postgres)
        renderForPostgres(tokens);

    // Tokens are never inserted or removed (that would make the passes
    // below quadratic on long statements): a token that goes is blanked to
    // an empty space, and text that comes in is kept in `before`, written
    // ahead of the token of the same index (the last entry: at the end).
    QVector<QString> before(tokens.size() + 1);
    const auto blank = [&tokens](int i) {
        tokens[i].kind = Token::Space;
        tokens[i].text.clear();
    };
    // A token whose text could run into a neighbour's: two literals side by
    // side ('x''2001-01-01') would read as one literal holding a quote.
    const auto gluable = [&tokens](int i) {
        if (i < 0 || i >= tokens.size())
            return false;
        const Token::Kind kind = tokens.at(i).kind;
        return kind != Token::Space && kind != Token::Symbol;
    };

    // Date literals and the TRUE/FALSE keywords SQLite 3.15 does not know.
    for (int i = 0; i < tokens.size(); ++i) {
        Token &t = tokens[i];
        if (t.kind == Token::DateLiteral) {
            const QString date = jetDateToSqlite(t.text.mid(1, t.text.size() - 2));
            if (!date.isEmpty()) {
                t.text = QLatin1Char('\'') + date + QLatin1Char('\'');
                if (postgres)
                    t.text.prepend(QLatin1String("TIMESTAMP "));
                // A following date literal keeps its own distance.
                if (gluable(i - 1))
                    t.text.prepend(QLatin1Char(' '));
                if (gluable(i + 1) && tokens.at(i + 1).kind != Token::DateLiteral)
                    t.text.append(QLatin1Char(' '));
            }
        } else if (!postgres && (isWord(t, "TRUE") || isWord(t, "FALSE"))) {
            // Not a column of a table (Sale.False) and not a function name.
            const int prior = previousSignificant(tokens, i);
            const int after = nextSignificant(tokens, i);
            if ((prior >= 0 && isSymbol(tokens.at(prior), '.'))
                || (after < tokens.size() && isSymbol(tokens.at(after), '('))) {
                continue;
            }
            t.text = isWord(t, "TRUE") ? QStringLiteral("1") : QStringLiteral("0");
            t.kind = Token::Number;
        } else if (postgres && t.kind == Token::Number
                   && (t.text == QLatin1String("0") || t.text == QLatin1String("1"))) {
            // "WHERE 0" reads no rows in Jet; the server wants a truth value.
            const int prior = previousSignificant(tokens, i);
            const int after = nextSignificant(tokens, i);
            if (prior >= 0 && isWord(tokens.at(prior), "WHERE")
                && (after >= tokens.size() || tokens.at(after).kind == Token::Word
                    || isSymbol(tokens.at(after), ')') || isSymbol(tokens.at(after), ';')))
                t.text = t.text == QLatin1String("1") ? QStringLiteral("TRUE")
                                                      : QStringLiteral("FALSE");
        }
    }

    // DELETE * FROM → DELETE FROM.
    for (int i = 0; i < tokens.size(); ++i) {
        if (!isWord(tokens.at(i), "DELETE"))
            continue;
        const int star = nextSignificant(tokens, i);
        if (star >= tokens.size() || !isSymbol(tokens.at(star), '*'))
            continue;
        const int from = nextSignificant(tokens, star);
        if (from < tokens.size() && isWord(tokens.at(from), "FROM")) {
            for (int j = i + 1; j < from; ++j)
                blank(j);
            tokens[i + 1].kind = Token::Space;
            tokens[i + 1].text = QStringLiteral(" ");
        }
    }

    // SELECT [DISTINCT|ALL] TOP n → SELECT ... LIMIT n, the LIMIT placed at the
    // end of the (sub)query the SELECT opens: before the parenthesis that
    // closes it, or at the end of the statement before any trailing
    // semicolons and blanks. One pass with a stack of open parentheses finds
    // every query's end. Where several LIMITs meet, the later SELECT's comes
    // first.
    QVector<QStringList> openLimits(1); // per open parenthesis, in SELECT order
    const auto placeLimits = [&before](int at, const QStringList &limits) {
        for (auto it = limits.crbegin(); it != limits.crend(); ++it)
            before[at] += *it;
    };
    for (int i = 0; i < tokens.size(); ++i) {
        if (isSymbol(tokens.at(i), '(')) {
            openLimits.push_back(QStringList());
            continue;
        }
        if (isSymbol(tokens.at(i), ')')) {
            // A parenthesis that closes nothing ends the top-level queries.
            placeLimits(i, openLimits.last());
            openLimits.last().clear();
            if (openLimits.size() > 1)
                openLimits.pop_back();
            continue;
        }
        if (!isWord(tokens.at(i), "SELECT"))
            continue;
        int top = nextSignificant(tokens, i);
        if (top < tokens.size()
            && (isWord(tokens.at(top), "DISTINCT") || isWord(tokens.at(top), "ALL")))
            top = nextSignificant(tokens, top);
        if (top >= tokens.size() || !isWord(tokens.at(top), "TOP"))
            continue;
        const int count = nextSignificant(tokens, top);
        if (count >= tokens.size() || tokens.at(count).kind != Token::Number
            || tokens.at(count).text.contains(QLatin1Char('.'))) {
            continue;
        }
        const int afterCount = nextSignificant(tokens, count);
        if (afterCount < tokens.size() && isWord(tokens.at(afterCount), "PERCENT"))
            continue;
        openLimits.last() << QStringLiteral(" LIMIT ") + tokens.at(count).text;
        // Remove "TOP n" and the blank after it.
        int removeEnd = count + 1;
        if (removeEnd < tokens.size() && tokens.at(removeEnd).kind == Token::Space)
            ++removeEnd;
        for (int j = top; j < removeEnd; ++j)
            blank(j);
        i = removeEnd - 1;
    }
    int end = tokens.size();
    while (end > 0
           && (tokens.at(end - 1).kind == Token::Space || isSymbol(tokens.at(end - 1), ';')))
        --end;
    QStringList unclosed;
    for (const QStringList &limits : std::as_const(openLimits))
        unclosed += limits;
    placeLimits(end, unclosed);

    // SELECT ... INTO T FROM ...: only at the top level of a statement that
    // starts with SELECT (INSERT INTO is a different statement). "INTO T"
    // gives way to one blank, so what stood on its two sides stays apart.
    const int first = nextSignificant(tokens, -1);
    if (first < tokens.size() && isWord(tokens.at(first), "SELECT")) {
        int depth = 0;
        for (int i = first + 1; i < tokens.size(); ++i) {
            if (isSymbol(tokens.at(i), '('))
                ++depth;
            else if (isSymbol(tokens.at(i), ')'))
                --depth;
            else if (depth == 0 && isWord(tokens.at(i), "FROM"))
                break;
            else if (depth == 0 && isWord(tokens.at(i), "INTO")) {
                const int name = nextSignificant(tokens, i);
                if (name >= tokens.size() || !isName(tokens.at(name)))
                    break;
                result.kind = TranslatedSql::Kind::SelectInto;
                result.table = unquotedName(tokens.at(name));
                if (postgres)
                    before[first] = QStringLiteral("CREATE TEMP TABLE %1 AS ")
                                            .arg(postgresName(tokens.at(name)));
                int removeStart = i;
                if (removeStart > 0 && tokens.at(removeStart - 1).kind == Token::Space)
                    --removeStart;
                for (int j = removeStart; j <= name; ++j)
                    blank(j);
                if (before.at(name + 1).isEmpty() && name + 1 < tokens.size()
                    && tokens.at(name + 1).kind != Token::Space)
                    tokens[name].text = QStringLiteral(" ");
                break;
            }
        }
    }

    if (postgres)
        nameDerivedTables(tokens, before);

    QString sql;
    for (int i = 0; i < tokens.size(); ++i)
        sql += before.at(i) + tokens.at(i).text;
    sql += before.last();
    result.sql = sql;
    return result;
}

RowidQuery withHiddenRowid(const QString &sqliteSql)
{
    RowidQuery result;
    const QVector<Token> tokens = tokenize(sqliteSql);
    const int select = nextSignificant(tokens, -1);
    if (select >= tokens.size() || !isWord(tokens.at(select), "SELECT"))
        return result;
    const int afterSelect = nextSignificant(tokens, select);
    if (afterSelect >= tokens.size() || isWord(tokens.at(afterSelect), "DISTINCT")
        || isWord(tokens.at(afterSelect), "ALL")) {
        return result;
    }

    const int from = topLevelFrom(tokens, afterSelect);
    if (from < 0)
        return result;
    int i = nextSignificant(tokens, from);
    if (i >= tokens.size() || !isName(tokens.at(i)))
        return result;
    const QString table = unquotedName(tokens.at(i));
    i = afterAlias(tokens, i);
    // What follows must be WHERE, ORDER BY or LIMIT, with no grouping or
    // compound part at the top level.
    if (i < tokens.size() && !isSymbol(tokens.at(i), ';') && !isWord(tokens.at(i), "WHERE")
        && !isWord(tokens.at(i), "ORDER") && !isWord(tokens.at(i), "LIMIT")) {
        return result;
    }
    int depth = 0;
    for (; i < tokens.size(); ++i) {
        if (isSymbol(tokens.at(i), '('))
            ++depth;
        else if (isSymbol(tokens.at(i), ')'))
            --depth;
        else if (depth == 0
                 && (isWord(tokens.at(i), "GROUP") || isWord(tokens.at(i), "HAVING")
                     || isWord(tokens.at(i), "UNION") || isWord(tokens.at(i), "EXCEPT")
                     || isWord(tokens.at(i), "INTERSECT"))) {
            return result;
        }
    }

    result.table = table;
    QVector<Token> out = tokens;
    out.insert(afterSelect, Token{Token::Word, QStringLiteral("rowid, ")});
    result.sql = joined(out);
    return result;
}

QString countingSql(const QString &sqliteSql, bool fast)
{
    const QString plain = QStringLiteral("SELECT Count(*) FROM (") + sqliteSql + QLatin1Char(')');
    if (!fast)
        return plain;
    QVector<Token> tokens = tokenize(sqliteSql);
    int depth = 0;
    int order = -1;
    bool hinted = false;
    for (int i = 0; i < tokens.size(); ++i) {
        const Token &t = tokens.at(i);
        const int next = nextSignificant(tokens, i);
        if ((isSymbol(t, '-') || isSymbol(t, '/')) && i + 1 < tokens.size()
            && (isSymbol(tokens.at(i + 1), '-') || isSymbol(tokens.at(i + 1), '*'))) {
            return plain;
        }
        if (isSymbol(t, '('))
            ++depth;
        else if (isSymbol(t, ')'))
            --depth;
        else if (depth != 0)
            continue;
        else if (isWord(t, "INDEXED"))
            hinted = true;
        else if (isWord(t, "ORDER") && next < tokens.size() && isWord(tokens.at(next), "BY"))
            order = i;
        else if (order >= 0
                 && (isWord(t, "LIMIT") || isWord(t, "OFFSET") || isWord(t, "SELECT")
                     || isSymbol(t, ';'))) {
            return plain;
        }
    }
    if (order >= 0)
        tokens.resize(order);
    const int from = topLevelFrom(tokens, 0);
    const int table = from < 0 ? int(tokens.size()) : nextSignificant(tokens, from);
    if (!hinted && table < tokens.size() && isName(tokens.at(table)))
        tokens.insert(afterAlias(tokens, table),
                      Token{Token::Word, QStringLiteral(" NOT INDEXED ")});
    return QStringLiteral("SELECT Count(*) FROM (") + joined(tokens) + QLatin1Char(')');
}

} // namespace store
