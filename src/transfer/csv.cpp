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

QString decodeCsvBytes(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder utf16(QStringConverter::Utf16LE);
        return utf16.decode(bytes.mid(2));
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder gb18030("GB18030");
    if (!gb18030.isValid())
        return text;
    return gb18030.decode(bytes);
}

QVector<QStringList> parseCsv(const QString &text)
{
    QVector<QStringList> records;
    QStringList fields;
    QString field;
    bool inQuotes = false;
    bool atFieldStart = true;
    bool lineHasContent = false;
    const int size = int(text.size());
    const QChar quote = QLatin1Char('"');

    auto endRecord = [&] {
        if (lineHasContent)
            fields << field;
        records << fields;
        fields.clear();
        field.clear();
        atFieldStart = true;
        lineHasContent = false;
    };

    int i = 0;
    while (i < size) {
        const QChar c = text.at(i);
        if (c == quote) {
            int run = 1;
            while (i + run < size && text.at(i + run) == quote)
                ++run;
            i += run;
            lineHasContent = true;
            if (!inQuotes && atFieldStart) {
                // The opening quote of a quoted field; what follows it in the
                // run is read as inside the field.
                inQuotes = true;
                --run;
            }
            // Pairs of quotes stand for one quote each; an odd quote left
            // over opens or closes a quoted stretch.
            field.append(QString(run / 2, quote));
            if (run % 2 == 1)
                inQuotes = !inQuotes;
            atFieldStart = false;
            continue;
        }
        if (!inQuotes && c == QLatin1Char(',')) {
            fields << field;
            field.clear();
            atFieldStart = true;
            lineHasContent = true;
            ++i;
            continue;
        }
        if (!inQuotes && (c == QLatin1Char('\r') || c == QLatin1Char('\n'))) {
            endRecord();
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
    if (lineHasContent)
        endRecord();
    return records;
}

QVector<QStringList> ReadCsvRecords(const QString &fileName, CsvError *error)
{
    if (error)
        *error = CsvError::None;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = CsvError::CannotOpen;
        return {};
    }
    const QByteArray bytes = file.readAll();
    file.close();
    // UTF-16 text carries NUL bytes of its own; any other text never does.
    if (!bytes.startsWith("\xFF\xFE") && bytes.contains('\0')) {
        if (error)
            *error = CsvError::NotText;
        return {};
    }
    return parseCsv(decodeCsvBytes(bytes));
}

} // namespace transfer
