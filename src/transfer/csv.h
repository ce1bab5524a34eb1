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

// The text of a CSV file's bytes, decoded in one encoding for the whole
// file: UTF-8 (with or without its byte-order mark), UTF-16 with its mark
// (Excel's "Unicode text"), or GB18030, the encoding Chinese Excel saves.
// Bytes that are UTF-8 but for a few stray bytes are damaged UTF-8, not
// GB18030. Byte-order marks inside the text (files joined) are dropped.
// When no encoding reads the bytes cleanly the result is empty and *badLine
// (when given) is the line, counted from 1, where decoding failed; it is 0
// on success.
QString decodeCsvBytes(const QByteArray &bytes, int *badLine = nullptr);

// Splits CSV text into records of fields. Fields are separated by commas and
// records by line breaks (CR LF, LF or CR alone). A field that begins with a
// double quote is quoted: inside it commas and line breaks belong to the
// field and a doubled quote stands for one quote. A quote anywhere else (an
// inch mark such as 12" 钢管) is an ordinary character. An empty line is an
// empty record (no fields); a line break at the end of the text ends the
// last record without adding one. A quoted field still open at the end of
// the text makes the text unreadable: no records, and *openQuoteLine (when
// given) is the line where that field began; it is 0 otherwise.
QVector<QStringList> parseCsv(const QString &text, int *openQuoteLine = nullptr);

// Why reading a CSV file failed.
enum class CsvError {
    None,
    CannotOpen,  // missing or unreadable
    NotText,     // holds NUL bytes: a binary file
    BadEncoding, // bytes no supported encoding reads cleanly
    OpenQuote,   // a quoted field runs to the end of the file
};

// The message an import shows for a reading error at line (0 when the error
// has no line): "CSV文件导入错误！" with the reason and the line where
// there is one; empty for None.
QString csvErrorMessage(CsvError error, int line);

// Reads and parses a CSV file. A file that cannot be read, that holds NUL
// bytes, that no encoding decodes, or that ends inside a quoted field gives
// no records and the error; *errorLine is the line it names (0 when none).
QVector<QStringList> ReadCsvRecords(const QString &fileName, CsvError *error = nullptr,
                                    int *errorLine = nullptr);

} // namespace transfer
