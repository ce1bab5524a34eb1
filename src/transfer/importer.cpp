#include "importer.h"

#include "columns.h"
#include "csv.h"
#include "mappingdialog.h"
#include "sheetdialog.h"
#include "workbook.h"

#include "grid/grid.h"
#include "records/rights.h"
#include "store/access.h"
#include "store/formatting.h"
#include "store/prompts.h"
#include "store/rowinserter.h"
#include "store/session.h"
#include "ui/progress.h"
#include "ui/shellhost.h"

#include <QMap>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace transfer {

namespace {

const QString kCsvError = QStringLiteral("CSV文件导入错误！");
const QString kSaveError = QStringLiteral("记录保存失败，数据没有写入！");

// The same with what the database said, when it said something (a server
// that went away, a disk that is full).
QString saveErrorWith(const QString &reason)
{
    return reason.isEmpty() ? kSaveError
                            : QStringLiteral("记录保存失败（%1），数据没有写入！").arg(reason);
}

// The master table a reference field points to; empty for other fields.
QString masterTableOf(const QString &field)
{
    static const QHash<QString, QString> tables = {
            {QStringLiteral("AID"), QStringLiteral("Acc")},
            {QStringLiteral("CID"), QStringLiteral("Cus")},
            {QStringLiteral("PID"), QStringLiteral("Pro")},
            {QStringLiteral("SID"), QStringLiteral("Staff")},
            {QStringLiteral("VID"), QStringLiteral("Vendor")},
    };
    return tables.value(field.toUpper());
}

bool isCsvName(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
}

// One field the import writes: where its text comes from and how it is
// stored.
struct Target
{
    QVector<ColumnsPart> parts;
    QString field;  // as the table names it
    QString master; // reference fields: the table of the named rows
    store::ColumnType type = store::ColumnType::Text;
    int maxLength = 0; // 0: no limit
};

// The spreadsheet columns a mapping takes its texts from, ascending.
QVector<int> mappedColumns(const QVector<MapEntry> &mapping)
{
    QVector<int> columns;
    for (const MapEntry &entry : mapping) {
        for (const ColumnsPart &part : columnsTextParts(normaliseColumnsText(entry.columnsText))) {
            if (!part.constant)
                columns << part.column;
        }
    }
    std::sort(columns.begin(), columns.end());
    columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    return columns;
}

} // namespace

QString normaliseColumnsText(const QString &columnsText)
{
    QString text = columnsText;
    text.replace(QChar(0x201C), QLatin1Char('"'));
    text.replace(QChar(0x201D), QLatin1Char('"'));
    text.replace(QChar(0xFF0C), QLatin1Char(','));
    text = text.trimmed();
    if (text.startsWith(QLatin1Char(',')))
        text.remove(0, 1);
    if (text.endsWith(QLatin1Char(',')))
        text.chop(1);
    return text;
}

QVector<ColumnsPart> columnsTextParts(const QString &columnsText)
{
    QStringList pieces;
    QString piece;
    bool quoted = false;
    for (const QChar c : columnsText) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (c == QLatin1Char(',') && !quoted) {
            pieces << piece;
            piece.clear();
        } else {
            piece += c;
        }
    }
    pieces << piece;

    QVector<ColumnsPart> parts;
    for (QString text : std::as_const(pieces)) {
        text.remove(QLatin1Char('\r'));
        text.remove(QLatin1Char('\n'));
        text = text.trimmed();
        if (text.isEmpty())
            continue;
        ColumnsPart part;
        if (text.size() >= 2 && text.startsWith(QLatin1Char('"'))
            && text.endsWith(QLatin1Char('"'))) {
            part.constant = true;
            part.text = text.mid(1, text.size() - 2);
        } else {
            bool number = false;
            const int value = text.toInt(&number);
            part.column = number ? qMax(0, value) : ColumnNumber(text);
        }
        parts << part;
    }
    return parts;
}

namespace {

// The parts of a date cell: year, month, day, hour, minute, second. False
// when the text is no date of the accepted forms or no day of the calendar.
bool dateParts(const QString &text, int parts[6])
{
    static const QRegularExpression pattern(
            QStringLiteral("^(\\d{4})(?:[-./年](\\d{1,2})[-./月](\\d{1,2})日?|(\\d{2})(\\d{2}))"
                           "(?:[ T]+(\\d{1,2})[:：](\\d{1,2})(?:[:：](\\d{1,2}))?)?$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return false;
    const bool separated = match.capturedLength(2) > 0;
    parts[0] = match.capturedView(1).toInt();
    parts[1] = match.capturedView(separated ? 2 : 4).toInt();
    parts[2] = match.capturedView(separated ? 3 : 5).toInt();
    parts[3] = match.capturedView(6).toInt();
    parts[4] = match.capturedView(7).toInt();
    parts[5] = match.capturedView(8).toInt();
    return QDate::isValid(parts[0], parts[1], parts[2])
           && QTime::isValid(parts[3], parts[4], parts[5]);
}

// The stored text of a date cell, 'YYYY-MM-DD HH:MM:SS' (the null date for an
// empty cell); empty when the text is no date. Built without QDateTime, whose
// local-time conversions cost a time-zone look-up per row.
QString storedImportDate(const QString &text)
{
    if (text.trimmed().isEmpty())
        return QStringLiteral("1900-01-01 00:00:00");
    int parts[6];
    if (!dateParts(text, parts))
        return QString();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", parts[0], parts[1],
                  parts[2], parts[3], parts[4], parts[5]);
    return QString::fromLatin1(buffer);
}

// True for a number cell that the leading-number rule would read as 0
// although it holds something no number field can keep: a value beyond the
// range of numbers (1e309) or the words inf, infinity and NaN that programs
// write for such values.
bool isUnreadableNumber(const QString &text)
{
    static const QRegularExpression pattern(
            QStringLiteral("^\\s*[+-]?(?:(inf|infinity|nan)\\s*$|((?:\\d+\\.?\\d*|\\.\\d+)[eE][+-]?"
                           "\\d+))"),
            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    return match.capturedLength(1) > 0 || !std::isfinite(match.captured(2).toDouble());
}

} // namespace

QDateTime parseImportDate(const QString &text)
{
    int parts[6];
    if (!dateParts(text, parts))
        return QDateTime();
    return QDateTime(QDate(parts[0], parts[1], parts[2]), QTime(parts[3], parts[4], parts[5]));
}

QString importedRights(const QString &imported, const QString &userRights)
{
    const bool importsAll = imported.contains(records::kAllRights);
    if (importsAll && userRights.contains(records::kAllRights))
        return records::kAllRights;
    QStringList kept;
    const QStringList tokens = records::allRightTokens();
    for (const QString &token : tokens) {
        if ((importsAll || imported.contains(token)) && records::HasRight(userRights, token))
            kept << token;
    }
    return kept.join(QLatin1Char(';'));
}

NameIds::NameIds() = default;
NameIds::~NameIds() = default;

namespace {

// The key a master name is found by. Blanks at the ends are no part of a
// name, and ASCII letters match in either case, as the old program's
// database matched them: "steel" finds "STEEL", "钢管 " finds "钢管".
QString nameKey(const QString &name)
{
    QString key = name.trimmed();
    for (QChar &c : key) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(char16_t(c.unicode() + ('a' - 'A')));
    }
    return key;
}

} // namespace

qint64 NameIds::id(const QString &table, const QString &name, QString *error)
{
    const QString trimmed = name.trimmed();
    const QString spelling = trimmed.isEmpty() ? QStringLiteral("其他") : trimmed;
    const QString key = nameKey(spelling);
    std::shared_ptr<Table> &entry = m_tables[table];
    if (!entry) {
        // First use of the table in this import: every name it holds, the
        // first row of each name winning.
        store::Connection conn;
        if (!store::OpenConn(conn)) {
            m_tables.remove(table);
            if (error)
                *error = QStringLiteral("无法打开数据库");
            return 0;
        }
        store::RecordSet rs;
        QString readError;
        if (!rs.open(conn,
                     QStringLiteral("SELECT ID, Name FROM ") + table
                             + QStringLiteral(" ORDER BY ID"),
                     &readError)) {
            m_tables.remove(table);
            if (error)
                *error = readError;
            return 0;
        }
        auto loaded = std::make_shared<Table>();
        for (int r = 0; r < rs.recordCount(); ++r) {
            const QString existing = nameKey(rs.valueAt(r, 1).toString());
            if (!loaded->ids.contains(existing))
                loaded->ids.insert(existing, rs.valueAt(r, 0).toLongLong());
        }
        loaded->inserter = std::make_unique<store::RowInserter>(
                conn, table, QStringList{QStringLiteral("Name")}, error);
        entry = loaded;
    }
    const auto found = entry->ids.constFind(key);
    if (found != entry->ids.constEnd())
        return found.value();
    if (!entry->inserter || !entry->inserter->isValid())
        return 0;
    const qint64 id = entry->inserter->insert({spelling}, error);
    if (id != 0)
        entry->ids.insert(key, id);
    return id;
}

qint64 NameToId(const QString &table, const QString &name)
{
    NameIds ids;
    return ids.id(table, name);
}

ImportOutcome importRows(const grid::Grid &grid, const QVector<MapEntry> &mapping,
                         const ImportSource &source, int first, int last)
{
    ImportOutcome outcome;
    const QString table = grid.tag();
    const int titleRow = grid.fixedRows() - 1;
    if (titleRow < 0)
        return outcome;

    store::Connection conn;
    if (!store::OpenConn(conn))
        return outcome;
    // The table's own fields and their types: only these are written, so a
    // grid column that is not a field of the table never reaches the SQL.
    store::RecordSet fields;
    if (!fields.open(conn, QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE 0"))) {
        outcome.message = kSaveError;
        return outcome;
    }
    QMap<QString, Target> targets; // by field, so a field is written once
    for (const MapEntry &entry : mapping) {
        // An entry without a columnsText writes its field empty: a reference then
        // names 其他, so that no record points to a master row that is not
        // there.
        const QString columnsText = normaliseColumnsText(entry.columnsText);
        int column = -1;
        for (int c = 0; c < grid.cols(); ++c) {
            if (grid.cellText(titleRow, c) == entry.caption) {
                column = c;
                break;
            }
        }
        if (column < 0)
            continue;
        const int index = fields.fieldIndex(grid.cellText(0, column));
        if (index < 0
            || fields.fieldName(index).compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0)
            continue;
        Target target;
        target.parts = columnsTextParts(columnsText);
        target.field = fields.fieldName(index);
        target.master = masterTableOf(target.field);
        target.type = fields.fieldType(index);
        if (target.field.compare(QLatin1String("Memo"), Qt::CaseInsensitive) == 0)
            target.maxLength = 50;
        else if (entry.caption == QStringLiteral("邮编"))
            target.maxLength = 6;
        for (const ColumnsPart &part : std::as_const(target.parts)) {
            if (!part.constant && source.columnLimit > 0
                && (part.column < 1 || part.column > source.columnLimit)) {
                outcome.message = sheetErrorMessage(SheetError::ColumnBeyond);
                return outcome;
            }
        }
        targets.insert(target.field, target);
    }
    if (targets.isEmpty())
        return outcome;

    const QStringList columns = targets.keys();
    QString error;
    // The rows' own IDs are not needed: a server numbers them as it writes.
    store::RowInserter inserter(conn, table, columns, &error, store::RowInserter::Ids::NotNeeded);
    if (!inserter.isValid()) {
        outcome.message = kSaveError;
        return outcome;
    }
    NameIds names;
    const bool staffRights = table.compare(QLatin1String("Staff"), Qt::CaseInsensitive) == 0;
    store::WriteTransaction transaction(conn);
    const QList<Target> targetList = targets.values();
    QVector<QVariant> values(columns.size());
    QVector<QString> texts(columns.size());
    first = qMax(1, first);
    ui::ProgressStart(QStringLiteral("正在读取EXCEL数据……"), last - first + 1);
    for (int r = first; r <= last; ++r) {
        const int index = r - source.firstRow;
        if (index < 0 || index >= source.rows.size())
            break; // past the end of the data
        const SheetRow &cells = source.rows.at(index);
        // The texts first: a row whose mapped cells are all empty ends the
        // data before any name of it creates a master row.
        bool anyCell = false;
        for (int k = 0; k < targetList.size(); ++k) {
            QString &text = texts[k];
            text.clear();
            for (const ColumnsPart &part : targetList.at(k).parts) {
                if (part.constant) {
                    text += part.text;
                } else {
                    const QString cell = cells.cell(part.column);
                    anyCell = anyCell || !(cell.isEmpty() || cell == QLatin1String("\t"));
                    text += cell;
                }
            }
            text.remove(QLatin1Char('\t'));
        }
        if (!anyCell)
            break;
        for (int k = 0; k < targetList.size() && outcome.message.isEmpty(); ++k) {
            const Target &target = targetList.at(k);
            QString &text = texts[k];
            if (target.maxLength > 0)
                text.truncate(target.maxLength);
            QVariant &value = values[k];
            if (!target.master.isEmpty()) {
                value = names.id(target.master, text, &error);
                if (value.toLongLong() == 0)
                    outcome.message = saveErrorWith(error);
            } else if (staffRights
                       && target.field.compare(QLatin1String("Right"), Qt::CaseInsensitive) == 0) {
                value = importedRights(text, store::CurrentRights);
            } else if (target.type == store::ColumnType::Integer
                       || target.type == store::ColumnType::Double) {
                const double number = store::leadingNumber(text);
                if (number == 0 && isUnreadableNumber(text))
                    outcome.message = QStringLiteral("第%1行的数字无法识别：%2，没有导入任何记录！")
                                              .arg(r)
                                              .arg(text);
                if (target.type == store::ColumnType::Integer)
                    value = qlonglong(std::llround(number));
                else
                    value = number;
            } else if (target.type == store::ColumnType::Date) {
                const QString stored = storedImportDate(text);
                if (stored.isEmpty())
                    outcome.message = QStringLiteral("第%1行的日期无法识别：%2，没有导入任何记录！")
                                              .arg(r)
                                              .arg(text);
                value = stored;
            } else {
                value = text;
            }
        }
        if (!outcome.message.isEmpty())
            break;
        if (inserter.insert(values, &error) == 0) {
            outcome.message = saveErrorWith(error);
            break;
        }
        ++outcome.written;
        ui::ProgressStep(1);
    }
    if (!outcome.message.isEmpty()) {
        // A refused row refuses the file: rolling back takes the rows before
        // it and every master row the import created with them.
        outcome.written = 0;
    } else if (!transaction.commit(&error)) {
        outcome.written = 0;
        outcome.message = saveErrorWith(error);
    }
    ui::ProgressClose();
    return outcome;
}

namespace {

// Shows what stopped the import and reloads the visible list.
bool finishImport(const ImportOutcome &outcome, int *written)
{
    if (written)
        *written = outcome.written;
    if (!outcome.message.isEmpty())
        store::prompts().message(outcome.message);
    if (ui::ShellHost *host = ui::shellHost())
        host->ReloadCurrentList();
    return outcome.message.isEmpty();
}

} // namespace

bool ImportCsv(const grid::Grid &grid, const QVector<MapEntry> &mapping, const QString &fileName,
               int first, int last, int *written)
{
    if (written)
        *written = 0;
    CsvError error = CsvError::None;
    int errorLine = 0;
    ImportSource source;
    if (isCsvName(fileName)) {
        const QVector<QStringList> records = ReadCsvRecords(fileName, &error, &errorLine);
        source.rows.reserve(records.size());
        for (const QStringList &record : records)
            source.rows << SheetRow(record);
    }
    if (!isCsvName(fileName) || error != CsvError::None) {
        ui::ProgressClose();
        store::prompts().message(isCsvName(fileName) ? csvErrorMessage(error, errorLine)
                                                     : kCsvError);
        return false;
    }
    return finishImport(importRows(grid, mapping, source, first, last), written);
}

bool ImportExcel(const grid::Grid &grid, const QVector<MapEntry> &mapping, const QString &fileName,
                 const QString &sheet, int first, int last, int *written)
{
    if (written)
        *written = 0;
    ImportSource source;
    source.firstRow = qMax(1, first);
    source.columnLimit = workbookColumnLimit(fileName);
    SheetError error = SheetError::None;
    QString detail;
    ui::ProgressStart(QStringLiteral("正在读取EXCEL数据……"), 1);
    // Only the mapped columns are kept: a sheet with cells far to the right
    // costs nothing for the columns the import does not take.
    const bool read = readSheetRows(fileName, sheet, first, last, &source.rows, &error, &detail,
                                    mappedColumns(mapping));
    ui::ProgressClose();
    if (!read) {
        store::prompts().message(detail.isEmpty()
                                         ? sheetErrorMessage(error)
                                         : detail + QStringLiteral("，没有导入任何记录！"));
        return false;
    }
    return finishImport(importRows(grid, mapping, source, first, last), written);
}

bool ChooseImportFile(QString *fileName, QString *sheet, QWidget *parent)
{
    fileName->clear();
    sheet->clear();
    *fileName = store::prompts().openFileName(
            QStringLiteral("导入记录"),
            QStringLiteral("Excel 工作簿(*.xlsx;*.xls)|*.xlsx;*.xls|CSV (逗号分隔)(*.csv)|*.csv"),
            QString());
    if (fileName->isEmpty())
        return false;
    if (isCsvName(*fileName))
        return true;
    QStringList names;
    SheetError error = SheetError::None;
    ui::ProgressStart(QStringLiteral("正在读取EXCEL文件数据……"), 1);
    const bool opened = workbookSheets(*fileName, &names, &error);
    ui::ProgressClose();
    if (!opened) {
        store::prompts().message(QStringLiteral("无法打开XLS文件！"));
        return false;
    }
    *sheet = ChooseSheet(names, parent);
    return !sheet->isEmpty();
}

void ImportRecords(grid::Grid &grid, QWidget *parent)
{
    QString fileName;
    QString sheet;
    if (!ChooseImportFile(&fileName, &sheet, parent))
        return;
    ShowImportMap(grid, fileName, sheet, parent);
}

} // namespace transfer
