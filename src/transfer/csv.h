#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace transfer {

// One CSV field as export writes it: the text followed by a tab (so that a
// spreadsheet keeps "0012" or "2026.03.01" as text), every double quote
// doubled, and the whole enclosed in double quotes when it holds a comma, a
// double quote or a line break.
QString csvField(const QString &text);

// The text of a CSV file's bytes: UTF-8 (the byte-order mark dropped) when
// the bytes are valid UTF-8, else GB18030, the encoding Chinese Excel saves.
QString decodeCsvBytes(const QByteArray &bytes);

// Splits CSV text into records of fields. Fields are separated by commas and
// records by line breaks (CR LF, LF or CR alone). A field that begins with a
// double quote is quoted: inside it commas and line breaks belong to the
// field and a doubled quote stands for one quote. In an unquoted field a
// doubled quote also stands for one quote, and a single quote opens a quoted
// stretch that runs to the next single quote. Every other character is kept
// as it is. An empty line is an empty record (no fields); a line break at the
// end of the text ends the last record without adding one. A quoted field
// still open at the end of the text runs to the end.
QVector<QStringList> parseCsv(const QString &text);

// Why reading a CSV file failed.
enum class CsvError { None, CannotOpen, NotText };

// Reads and parses a CSV file. A file that cannot be read, or that holds
// NUL bytes (a binary file, not text), gives no records and the error.
QVector<QStringList> ReadCsvRecords(const QString &fileName, CsvError *error = nullptr);

} // namespace transfer
