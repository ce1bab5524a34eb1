#include "csv.h"

#include <QFile>
#include <QStringDecoder>

namespace transfer {

QString csvField(const QString &text)
{
    QString field = text + QLatin1Char('\t');
    const bool quote = field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"'))
                       || field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n'));
    field.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    if (quote)
        field = QLatin1Char('"') + field + QLatin1Char('"');
    return field;
}

namespace {

// The line, counted from 1, that holds position of text; CR LF, LF and CR
// alone each end a line.
int lineAt(const QString &text, qsizetype position)
{
    if (position < 0 || position > text.size())
        position = text.size();
    int line = 1;
    for (qsizetype i = 0; i < position; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n')
            || (c == QLatin1Char('\r')
                && (i + 1 >= text.size() || text.at(i + 1) != QLatin1Char('\n'))))
            ++line;
    }
    return line;
}

// Decodes bytes whole into *text. False when the decoder met bytes it cannot
// read; decoders that put in a replacement character without saying so are
// caught by replacementIsError.
bool decodeWhole(QStringDecoder &decoder, const QByteArray &bytes, QString *text,
                 bool replacementIsError)
{
    *text = decoder.decode(bytes);
    return decoder.isValid() && !decoder.hasError()
           && !(replacementIsError && text->contains(QChar::ReplacementCharacter));
}

} // namespace

QString decodeCsvBytes(const QByteArray &bytes, int *badLine)
{
    if (badLine)
        *badLine = 0;
    const auto stateless = QStringConverter::Flag::Stateless;
    QString text;
    bool clean = false;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        QStringDecoder utf8(QStringConverter::Utf8, stateless);
        clean = decodeWhole(utf8, bytes.mid(3), &text, false);
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                          : QStringConverter::Utf16BE,
                             stateless);
        clean = decodeWhole(utf16, bytes.mid(2), &text, true);
    } else {
        QStringDecoder utf8(QStringConverter::Utf8, stateless);
        clean = decodeWhole(utf8, bytes, &text, false);
        if (!clean) {
            // Text that is mostly good UTF-8 is a UTF-8 file with stray bytes
            // (a Latin-1 "é" typed into it); read as GB18030 it would turn
            // every Chinese character into another one without any error.
            // GB18030 text read as UTF-8 gives far more bad bytes than good
            // characters.
            qsizetype good = 0;
            qsizetype bad = 0;
            for (const QChar c : std::as_const(text)) {
                if (c == QChar::ReplacementCharacter)
                    ++bad;
                else if (c.unicode() > 0x7F)
                    ++good;
            }
            if (good <= bad) {
                QStringDecoder gb18030("GB18030", stateless);
                clean = decodeWhole(gb18030, bytes, &text, true);
            }
        }
    }
    if (!clean) {
        if (badLine)
            *badLine = lineAt(text, text.indexOf(QChar::ReplacementCharacter));
        return QString();
    }
    // A byte-order mark inside the text is where two files were joined.
    text.remove(QChar(0xFEFF));
    return text;
}

QVector<QStringList> parseCsv(const QString &text, int *openQuoteLine)
{
    if (openQuoteLine)
        *openQuoteLine = 0;
    QVector<QStringList> records;
    QStringList fields;
    QString field;
    bool inQuotes = false;
    bool atFieldStart = true;
    bool lineHasContent = false;
    int line = 1;
    int quoteLine = 0;
    const qsizetype size = text.size();
    const QChar quote = QLatin1Char('"');
    const auto isLineEnd = [&text, size](qsizetype i) {
        const QChar c = text.at(i);
        return c == QLatin1Char('\n')
               || (c == QLatin1Char('\r')
                   && (i + 1 >= size || text.at(i + 1) != QLatin1Char('\n')));
    };

    auto endRecord = [&] {
        if (lineHasContent)
            fields << field;
        records << fields;
        fields.clear();
        field.clear();
        atFieldStart = true;
        lineHasContent = false;
    };

    qsizetype i = 0;
    while (i < size) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (c == quote) {
                if (i + 1 < size && text.at(i + 1) == quote) {
                    field.append(quote);
                    i += 2;
                } else {
                    inQuotes = false;
                    ++i;
                }
                continue;
            }
            // Commas and line breaks belong to the quoted field.
            if (isLineEnd(i))
                ++line;
            field.append(c);
            ++i;
            continue;
        }
        if (c == quote && atFieldStart) {
            inQuotes = true;
            quoteLine = line;
            atFieldStart = false;
            lineHasContent = true;
            ++i;
            continue;
        }
        if (c == QLatin1Char(',')) {
            fields << field;
            field.clear();
            atFieldStart = true;
            lineHasContent = true;
            ++i;
            continue;
        }
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            endRecord();
            ++line;
            if (c == QLatin1Char('\r') && i + 1 < size && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            ++i;
            continue;
        }
        field.append(c);
        atFieldStart = false;
        lineHasContent = true;
        ++i;
    }
    if (inQuotes) {
        // The rest of the file would be one field: nothing of it is
        // trustworthy.
        if (openQuoteLine)
            *openQuoteLine = quoteLine;
        return {};
    }
    if (lineHasContent)
        endRecord();
    return records;
}

QString csvErrorMessage(CsvError error, int line)
{
    switch (error) {
    case CsvError::None:
        return QString();
    case CsvError::CannotOpen:
    case CsvError::NotText:
        break;
    case CsvError::BadEncoding:
        return QStringLiteral("CSV文件导入错误：第%1行的文字无法识别，文件应为UTF-8、UTF-16或"
                              "GB18030编码，没有导入任何记录！")
                .arg(line);
    case CsvError::OpenQuote:
        return QStringLiteral("CSV文件导入错误：第%1行开始的引号没有结束，没有导入任何记录！")
                .arg(line);
    }
    return QStringLiteral("CSV文件导入错误！");
}

QVector<QStringList> ReadCsvRecords(const QString &fileName, CsvError *error, int *errorLine)
{
    CsvError failure = CsvError::None;
    int line = 0;
    QVector<QStringList> records;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        failure = CsvError::CannotOpen;
    } else {
        const QByteArray bytes = file.readAll();
        file.close();
        // UTF-16 text carries NUL bytes of its own; any other text never does.
        const bool utf16 = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
        if (!utf16 && bytes.contains('\0')) {
            failure = CsvError::NotText;
        } else {
            const QString text = decodeCsvBytes(bytes, &line);
            if (line > 0) {
                failure = CsvError::BadEncoding;
            } else {
                records = parseCsv(text, &line);
                if (line > 0)
                    failure = CsvError::OpenQuote;
            }
        }
    }
    if (error)
        *error = failure;
    if (errorLine)
        *errorLine = line;
    return records;
}

} // namespace transfer
