#include "workbook.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include "xlsformulas.h"

#include <freexl.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace transfer {

namespace {

enum class Kind { Missing, Xlsx, Xls, Other };

// The kind of a file by its first bytes: ZIP for .xlsx, the compound-file
// signature for .xls.
Kind fileKind(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return Kind::Missing;
    const QByteArray head = file.read(8);
    if (head.startsWith("PK\x03\x04"))
        return Kind::Xlsx;
    if (head == QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
        return Kind::Xls;
    return Kind::Other;
}

SheetError kindError(Kind kind)
{
    return kind == Kind::Missing ? SheetError::CannotOpen : SheetError::NotWorkbook;
}

// A number as the sheet would show it in a general cell: plain decimal with
// up to fifteen significant digits.
QString numberText(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    // Whole numbers, the most common cells, without the general conversion.
    if (std::fabs(value) < 1e15 && value == std::trunc(value))
        return QString::number(qint64(value));
    return QString::number(value, 'g', 15);
}

// "yyyy-MM-dd", and " HH:mm:ss" after it when withTime, built directly: the
// text of a date cell is made once per cell of a long sheet.
QString dateText(const QDate &date, int secondOfDay, bool withTime)
{
    char buffer[32];
    int length = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year(), date.month(),
                               date.day());
    if (withTime)
        length += std::snprintf(buffer + length, sizeof buffer - size_t(length), " %02d:%02d:%02d",
                                secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
    return QString::fromLatin1(buffer, length);
}

// A spreadsheet date serial (days since 1899-12-30, or 1904-01-01 in the
// 1904 system) as date text; a time of day alone as time text. Counted in
// whole days and seconds, never through a time zone. Empty for a serial
// outside the years 1 to 9999 (or NaN), which is no date.
QString serialDateText(double serial, bool system1904)
{
    if (!(std::fabs(serial) < 4.0e6))
        return QString();
    const qint64 seconds = std::llround(serial * 86400.0);
    qint64 days = seconds / 86400;
    qint64 secondOfDay = seconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    const QDate base = system1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    const QDate date = base.addDays(days);
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return QString();
    if (serial >= 0 && serial < 1 && !system1904)
        return dateText(date, int(secondOfDay), true).mid(11);
    return dateText(date, int(secondOfDay), secondOfDay != 0);
}

// Column letters of a worksheet column, A … XFD.
QString columnName(int column)
{
    QString name;
    for (int n = column; n > 0; n = (n - 1) / 26)
        name.prepend(QChar(char16_t('A' + (n - 1) % 26)));
    return name;
}

// The detail shown for a cell the workbook gives in a way that cannot be
// trusted.
QString cellProblem(int row, int column, const QString &what)
{
    return QStringLiteral("Excel文件无法读取：第 %1 行第 %2 列%3")
            .arg(row)
            .arg(columnName(column), what);
}

const QString kUnreadable = QStringLiteral("Excel文件无法读取");

// Whether a column is among the kept ones (all when none are named).
bool keepsColumn(const QVector<int> &columns, int column)
{
    return columns.isEmpty() || std::binary_search(columns.cbegin(), columns.cend(), column);
}

// ---- .xlsx ---------------------------------------------------------------

const QString kRelationshipNs
        = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");

// A cell text holds at most 32,767 characters; a stretch of the XML far
// longer without any tag is no worksheet but an attempt to fill memory.
constexpr qint64 kLongestTextRun = qint64(4) << 20;

// A ZIP package opened for reading its parts (minizip). What may be unpacked
// from it altogether is capped by its size: a small file that unpacks to
// gigabytes (a zip bomb) is refused instead of filling memory.
class ZipPackage
{
public:
    explicit ZipPackage(const QString &fileName)
        : m_zip(unzOpen64(QFile::encodeName(fileName).constData()))
    {
        const qint64 size = QFileInfo(fileName).size();
        m_budget = qBound(qint64(64) << 20, size * 20, qint64(512) << 20);
    }
    ~ZipPackage()
    {
        if (m_zip)
            unzClose(m_zip);
    }
    ZipPackage(const ZipPackage &) = delete;
    ZipPackage &operator=(const ZipPackage &) = delete;

    bool isOpen() const { return m_zip != nullptr; }
    unzFile handle() const { return m_zip; }

    // Makes the part (name compared without case) the one read next.
    bool openPart(const QString &name)
    {
        if (!m_zip)
            return false;
        unzCloseCurrentFile(m_zip);
        return unzLocateFile(m_zip, name.toUtf8().constData(), 2) == UNZ_OK
               && unzOpenCurrentFile(m_zip) == UNZ_OK;
    }

    // Reads up to size bytes of the current part; -1 on damage or when the
    // package has unpacked more than it may.
    int readCurrent(char *data, unsigned size)
    {
        const int read = unzReadCurrentFile(m_zip, data, size);
        if (read > 0) {
            m_unpacked += read;
            if (m_unpacked > m_budget) {
                m_tooLarge = true;
                return -1;
            }
        }
        return read;
    }
    bool tooLarge() const { return m_tooLarge; }

    // Reads a whole part into memory; false when it is missing or damaged.
    bool readPart(const QString &name, QByteArray *data)
    {
        data->clear();
        if (!openPart(name))
            return false;
        char buffer[65536];
        int read = 0;
        while ((read = readCurrent(buffer, sizeof buffer)) > 0)
            data->append(buffer, read);
        const bool whole = read == 0 && unzCloseCurrentFile(m_zip) == UNZ_OK;
        return whole;
    }

private:
    unzFile m_zip;
    qint64 m_budget = 0;
    qint64 m_unpacked = 0;
    bool m_tooLarge = false;
};

// The part opened last in a package, as a sequential device, so that a long
// part is parsed while it is unpacked and never held whole.
class PartDevice : public QIODevice
{
public:
    explicit PartDevice(ZipPackage &package)
        : m_package(package)
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    bool failed() const { return m_failed; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_failed)
            return -1;
        const int read = m_package.readCurrent(data, unsigned(qMin<qint64>(maxSize, 1 << 20)));
        if (read < 0) {
            m_failed = true;
            return -1;
        }
        // The longest stretch without a tag, across reads.
        const char *end = data + read;
        for (const char *p = data; p < end;) {
            const char *tag = static_cast<const char *>(std::memchr(p, '<', size_t(end - p)));
            if (!tag) {
                m_run += end - p;
                break;
            }
            m_run = 0;
            p = tag + 1;
        }
        if (m_run > kLongestTextRun) {
            m_failed = true;
            return -1;
        }
        return read;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    ZipPackage &m_package;
    qint64 m_run = 0;
    bool m_failed = false;
};

// Reads the next token. A document type declaration is refused: it can
// declare entities that expand a few bytes into gigabytes, and no workbook
// part has one.
void readNextToken(QXmlStreamReader &xml)
{
    if (xml.readNext() == QXmlStreamReader::DTD)
        xml.raiseError(QStringLiteral("DTD"));
}

// A part name from a relationship target, relative to the xl folder.
QString partName(const QString &target)
{
    if (target.startsWith(QLatin1Char('/')))
        return target.mid(1);
    QString name = QStringLiteral("xl/") + target;
    name.replace(QStringLiteral("/./"), QStringLiteral("/"));
    return name;
}

// Texts in the package escape characters XML cannot hold (a carriage return
// among them) as _xHHHH_; this gives them back.
QString unescapedText(const QString &text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    static const QRegularExpression escape(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QString result;
    int from = 0;
    QRegularExpressionMatchIterator it = escape.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        result += text.mid(from, match.capturedStart() - from);
        result += QChar(char16_t(match.captured(1).toUShort(nullptr, 16)));
        from = int(match.capturedEnd());
    }
    result += text.mid(from);
    return result;
}

// The text of an element holding <t> runs (a shared string or an inline
// string), phonetic runs left out. The reader stands on the start element
// and ends on its end element.
QString runsText(QXmlStreamReader &xml)
{
    QString text;
    const QString endName = xml.name().toString();
    int phonetic = 0;
    while (!xml.atEnd()) {
        readNextToken(xml);
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("rPh"))
                ++phonetic;
            else if (xml.name() == QLatin1String("t") && phonetic == 0)
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("rPh"))
                --phonetic;
            else if (xml.name() == endName)
                break;
        }
    }
    return unescapedText(text);
}

// Built-in number formats that show dates or times.
bool isBuiltinDateFormat(int id)
{
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47)
           || (id >= 50 && id <= 58);
}

// A custom format code shows a date when, outside quoted texts, escaped
// characters and [..] sections, it uses the letters of days, months, years,
// hours or seconds.
bool isDateFormatCode(const QString &code)
{
    bool quoted = false;
    int bracket = 0;
    for (int i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == QLatin1Char('\\')) {
            ++i;
        } else if (c == QLatin1Char('[')) {
            ++bracket;
        } else if (c == QLatin1Char(']')) {
            bracket = qMax(0, bracket - 1);
        } else if (bracket == 0) {
            const QChar lower = c.toLower();
            if (lower == QLatin1Char('y') || lower == QLatin1Char('m') || lower == QLatin1Char('d')
                || lower == QLatin1Char('h') || lower == QLatin1Char('s'))
                return true;
        }
    }
    return false;
}

struct XlsxBook
{
    ZipPackage zip;
    QStringList sheetNames;
    QStringList sheetParts;
    // Shared strings, kept as UTF-8 one after another: a table of millions
    // of short texts costs their bytes, not an object each.
    QByteArray sharedText;
    QVector<quint32> sharedStarts; // start of each text, and the end
    QVector<bool> dateStyles;      // by style index
    bool system1904 = false;
    bool unreadable = false; // the package unpacks too far or declares entities
    QString sharedPart = QStringLiteral("xl/sharedStrings.xml");
    QString stylesPart = QStringLiteral("xl/styles.xml");

    explicit XlsxBook(const QString &fileName)
        : zip(fileName)
    {}

    QHash<int, QString> sharedMade; // texts made so far, shared by the cells that use them

    int sharedCount() const { return int(sharedStarts.size()) - 1; }
    QString sharedString(int index)
    {
        const auto made = sharedMade.constFind(index);
        if (made != sharedMade.constEnd())
            return made.value();
        const quint32 start = sharedStarts.at(index);
        const QString text = QString::fromUtf8(sharedText.constData() + start,
                                               qsizetype(sharedStarts.at(index + 1) - start));
        sharedMade.insert(index, text);
        return text;
    }

    // Parses a part as it is unpacked; handle is called on every start
    // element. False when the part is missing, damaged or refused.
    template<typename Handle>
    bool parsePart(const QString &name, Handle handle)
    {
        if (!zip.openPart(name))
            return false;
        PartDevice part(zip);
        QXmlStreamReader xml(&part);
        while (!xml.atEnd()) {
            readNextToken(xml);
            if (xml.isStartElement())
                handle(xml);
        }
        if (zip.tooLarge() || part.failed() || xml.error() == QXmlStreamReader::CustomError)
            unreadable = true;
        return !xml.hasError() && !part.failed();
    }

    bool open(SheetError *error)
    {
        if (!zip.isOpen()) {
            *error = SheetError::NotWorkbook;
            return false;
        }
        QHash<QString, QString> targets;
        const bool rels = parsePart(
                QStringLiteral("xl/_rels/workbook.xml.rels"), [&](QXmlStreamReader &xml) {
                    if (xml.name() != QLatin1String("Relationship"))
                        return;
                    const auto attributes = xml.attributes();
                    const QString target
                            = partName(attributes.value(QLatin1String("Target")).toString());
                    const QString type = attributes.value(QLatin1String("Type")).toString();
                    targets.insert(attributes.value(QLatin1String("Id")).toString(), target);
                    if (type.endsWith(QLatin1String("/sharedStrings")))
                        sharedPart = target;
                    else if (type.endsWith(QLatin1String("/styles")))
                        stylesPart = target;
                });
        const bool workbook
                = rels && parsePart(QStringLiteral("xl/workbook.xml"), [&](QXmlStreamReader &xml) {
                      if (xml.name() == QLatin1String("workbookPr")) {
                          const auto attributes = xml.attributes();
                          const QStringView value = attributes.value(QLatin1String("date1904"));
                          system1904
                                  = value == QLatin1String("1") || value == QLatin1String("true");
                      } else if (xml.name() == QLatin1String("sheet")) {
                          const auto attributes = xml.attributes();
                          const QString id = attributes.value(kRelationshipNs, QLatin1String("id"))
                                                     .toString();
                          sheetNames << attributes.value(QLatin1String("name")).toString();
                          sheetParts << targets.value(id);
                      }
                  });
        if (unreadable) {
            *error = SheetError::Unreadable;
            return false;
        }
        if (!workbook || sheetNames.isEmpty()) {
            *error = SheetError::NotWorkbook;
            return false;
        }
        return true;
    }

    // The shared strings; a workbook without the part has none, so that any
    // reference to one is found invalid.
    void readSharedStrings()
    {
        sharedStarts = {0};
        if (!zip.openPart(sharedPart))
            return;
        PartDevice part(zip);
        QXmlStreamReader xml(&part);
        while (!xml.atEnd()) {
            readNextToken(xml);
            if (xml.isStartElement() && xml.name() == QLatin1String("si")) {
                sharedText += runsText(xml).toUtf8();
                sharedStarts << quint32(sharedText.size());
            }
        }
        if (zip.tooLarge() || part.failed() || xml.error() == QXmlStreamReader::CustomError)
            unreadable = true;
    }

    void readStyles()
    {
        QSet<int> customDates;
        bool inCellXfs = false;
        if (!zip.openPart(stylesPart))
            return;
        PartDevice part(zip);
        QXmlStreamReader xml(&part);
        while (!xml.atEnd()) {
            readNextToken(xml);
            if (xml.isStartElement()) {
                const auto attributes = xml.attributes();
                if (xml.name() == QLatin1String("numFmt")) {
                    if (isDateFormatCode(attributes.value(QLatin1String("formatCode")).toString()))
                        customDates.insert(attributes.value(QLatin1String("numFmtId")).toInt());
                } else if (xml.name() == QLatin1String("cellXfs")) {
                    inCellXfs = true;
                } else if (inCellXfs && xml.name() == QLatin1String("xf")) {
                    const int id = attributes.value(QLatin1String("numFmtId")).toInt();
                    dateStyles << (isBuiltinDateFormat(id) || customDates.contains(id));
                }
            } else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = false;
            }
        }
        if (zip.tooLarge() || part.failed() || xml.error() == QXmlStreamReader::CustomError)
            unreadable = true;
    }
};

// Column number (1-based) and row number of a cell reference such as "AB12";
// false for a reference outside a worksheet (columns A … XFD, rows 1 …
// 1,048,576) or not of that form.
bool cellPosition(QStringView ref, int *column, int *row)
{
    int c = 0;
    int i = 0;
    for (; i < ref.size() && i < 4; ++i) {
        const QChar ch = ref.at(i).toUpper();
        if (ch < QLatin1Char('A') || ch > QLatin1Char('Z'))
            break;
        c = c * 26 + (ch.unicode() - 'A' + 1);
    }
    if (i == 0 || i >= ref.size() || !ref.at(i).isDigit())
        return false;
    bool ok = false;
    const int r = ref.mid(i).toInt(&ok);
    if (!ok || c > 16384 || r < 1 || r > 1048576)
        return false;
    *column = c;
    *row = r;
    return true;
}

// Records the first problem of a read and stops it.
bool refuse(SheetError *error, QString *detail, const QString &message)
{
    *error = SheetError::Unreadable;
    if (detail)
        *detail = message;
    return false;
}

// Places a cell's text into its row; false when the row has that cell
// already.
bool placeCell(QVector<SheetRow> *rows, int first, int row, int column, const QString &text)
{
    const int index = row - first;
    if (rows->size() <= index)
        rows->resize(index + 1);
    return (*rows)[index].setCell(column, text);
}

bool readXlsxRows(const QString &fileName, const QString &sheet, int first, int last,
                  QVector<SheetRow> *rows, SheetError *error, QString *detail,
                  const QVector<int> &columns)
{
    XlsxBook book(fileName);
    if (!book.open(error)) {
        if (*error == SheetError::Unreadable && detail)
            *detail = kUnreadable;
        return false;
    }
    const int index = int(book.sheetNames.indexOf(sheet));
    if (index < 0) {
        *error = SheetError::NoSuchSheet;
        return false;
    }
    book.readSharedStrings();
    book.readStyles();
    if (book.unreadable)
        return refuse(error, detail, kUnreadable);
    if (!book.zip.openPart(book.sheetParts.at(index))) {
        *error = SheetError::NotWorkbook;
        return false;
    }
    PartDevice part(book.zip);
    QXmlStreamReader xml(&part);
    int rowNumber = 0;
    int columnNumber = 0;
    QString problem;
    while (!xml.atEnd() && problem.isEmpty()) {
        readNextToken(xml);
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("row")) {
            const auto attributes = xml.attributes();
            const QStringView r = attributes.value(QLatin1String("r"));
            rowNumber = r.isEmpty() ? rowNumber + 1 : r.toInt();
            columnNumber = 0;
            continue;
        }
        if (xml.name() != QLatin1String("c"))
            continue;
        // Each cell is placed by its own reference; one without a reference
        // follows the cell before it.
        const auto attributes = xml.attributes();
        const QStringView ref = attributes.value(QLatin1String("r"));
        int row = rowNumber;
        if (ref.isEmpty()) {
            ++columnNumber;
        } else if (!cellPosition(ref, &columnNumber, &row)) {
            problem = QStringLiteral("Excel文件无法读取：单元格引用“%1”无效").arg(ref.toString());
            break;
        }
        if (row < first || row > last || !keepsColumn(columns, columnNumber)) {
            xml.skipCurrentElement();
            continue;
        }
        const QString type = attributes.value(QLatin1String("t")).toString();
        const int style = attributes.value(QLatin1String("s")).toInt();
        QString value;
        QString inlineText;
        bool hasInline = false;
        while (!xml.atEnd()) {
            readNextToken(xml);
            if (xml.isStartElement()) {
                if (xml.name() == QLatin1String("v")) {
                    value = xml.readElementText();
                } else if (xml.name() == QLatin1String("is")) {
                    inlineText = runsText(xml);
                    hasInline = true;
                } else {
                    xml.skipCurrentElement();
                }
            } else if (xml.isEndElement() && xml.name() == QLatin1String("c")) {
                break;
            }
        }
        QString text;
        if (type == QLatin1String("s")) {
            bool ok = false;
            const qint64 shared = value.toLongLong(&ok);
            if (!ok || shared < 0 || shared >= book.sharedCount()) {
                problem = cellProblem(row, columnNumber, QStringLiteral("的文字引用无效"));
                break;
            }
            text = book.sharedString(int(shared));
        } else if (type == QLatin1String("inlineStr") || hasInline) {
            text = inlineText;
        } else if (type == QLatin1String("b")) {
            text = value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        } else if (type == QLatin1String("str") || type == QLatin1String("e")
                   || type == QLatin1String("d")) {
            text = unescapedText(value);
        } else if (!value.isEmpty()) {
            // A number; one beyond the range of numbers (1e309, NaN) or a
            // date serial that is no date keeps its own text, which the
            // import then refuses instead of reading 0 or 1900-01-01.
            bool ok = false;
            const double number = value.toDouble(&ok);
            if (!ok || !std::isfinite(number))
                text = value;
            else if (book.dateStyles.value(style))
                text = serialDateText(number, book.system1904);
            else
                text = numberText(number);
            if (text.isEmpty())
                text = value;
        }
        if (!text.isEmpty() && !placeCell(rows, first, row, columnNumber, text))
            problem = cellProblem(row, columnNumber, QStringLiteral("的单元格重复出现"));
    }
    if (!problem.isEmpty() || book.zip.tooLarge() || part.failed()
        || xml.error() == QXmlStreamReader::CustomError) {
        rows->clear();
        return refuse(error, detail, problem.isEmpty() ? kUnreadable : problem);
    }
    if (xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError) {
        rows->clear();
        *error = SheetError::NotWorkbook;
        return false;
    }
    return true;
}

// ---- .xls ----------------------------------------------------------------

// Closes a FreeXL handle when it goes out of scope.
struct XlsHandle
{
    const void *handle = nullptr;
    ~XlsHandle()
    {
        if (handle)
            freexl_close(handle);
    }
};

bool openXls(const QString &fileName, XlsHandle *xls, QStringList *names, SheetError *error)
{
    // FreeXL may report success and still give no handle for a compound
    // file it cannot read as a workbook.
    if (freexl_open(QFile::encodeName(fileName).constData(), &xls->handle) != FREEXL_OK
        || !xls->handle) {
        *error = SheetError::NotWorkbook;
        return false;
    }
    unsigned int count = 0;
    if (freexl_get_info(xls->handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK) {
        *error = SheetError::NotWorkbook;
        return false;
    }
    for (unsigned int i = 0; i < count; ++i) {
        const char *name = nullptr;
        if (freexl_get_worksheet_name(xls->handle, (unsigned short)i, &name) != FREEXL_OK) {
            *error = SheetError::NotWorkbook;
            return false;
        }
        names->append(QString::fromUtf8(name ? name : ""));
    }
    return true;
}

QString xlsCellText(const FreeXL_CellValue &cell)
{
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return QString::number(cell.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return numberText(cell.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_TIME:
    case FREEXL_CELL_DATE:
        return QString::fromUtf8(cell.value.text_value ? cell.value.text_value : "");
    case FREEXL_CELL_DATETIME: {
        const QString text = QString::fromUtf8(cell.value.text_value ? cell.value.text_value : "");
        return text.endsWith(QLatin1String(" 00:00:00")) ? text.left(10) : text;
    }
    default:
        return QString();
    }
}

// The text of a formula cell's computed value, as the sheet shows it; empty
// for an empty text. False when the workbook keeps no value for it.
bool formulaText(const XlsFormulaValue &value, const XlsFormulas &formulas, QString *text)
{
    switch (value.kind) {
    case XlsFormulaValue::Number: {
        const int format = formulas.styleFormats.value(value.style);
        const bool date = isBuiltinDateFormat(format)
                          || (formulas.formatCodes.contains(format)
                              && isDateFormatCode(formulas.formatCodes.value(format)));
        if (!std::isfinite(value.number))
            return false;
        *text = date ? serialDateText(value.number, formulas.system1904) : QString();
        if (text->isEmpty())
            *text = numberText(value.number);
        return true;
    }
    case XlsFormulaValue::Boolean:
        *text = value.number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        return true;
    case XlsFormulaValue::Text:
    case XlsFormulaValue::Error:
        *text = value.text;
        return true;
    case XlsFormulaValue::Missing:
        break;
    }
    return false;
}

bool readXlsRows(const QString &fileName, const QString &sheet, int first, int last,
                 QVector<SheetRow> *rows, SheetError *error, QString *detail,
                 const QVector<int> &columns)
{
    XlsHandle xls;
    QStringList names;
    if (!openXls(fileName, &xls, &names, error))
        return false;
    const int index = int(names.indexOf(sheet));
    if (index < 0) {
        *error = SheetError::NoSuchSheet;
        return false;
    }
    unsigned int rowCount = 0;
    unsigned short columnCount = 0;
    if (freexl_select_active_worksheet(xls.handle, (unsigned short)index) != FREEXL_OK
        || freexl_worksheet_dimensions(xls.handle, &rowCount, &columnCount) != FREEXL_OK) {
        *error = SheetError::NotWorkbook;
        return false;
    }
    // FreeXL leaves formula cells empty; their computed values come from the
    // workbook stream itself. Without them a formula cell would be read as
    // empty, so a workbook whose stream cannot be followed is refused.
    XlsFormulas formulas;
    if (!readXlsFormulas(fileName, &formulas))
        return refuse(error, detail, kUnreadable);
    const QHash<quint32, XlsFormulaValue> sheetFormulas = formulas.sheets.value(sheet);

    const int end = qMin(last, int(rowCount));
    for (int r = first; r <= end; ++r) {
        SheetRow row;
        for (int c = 0; c < columnCount; ++c) {
            if (!keepsColumn(columns, c + 1))
                continue;
            FreeXL_CellValue cell;
            if (freexl_get_cell_value(xls.handle, unsigned(r - 1), (unsigned short)c, &cell)
                != FREEXL_OK)
                break;
            QString text = xlsCellText(cell);
            if (cell.type == FREEXL_CELL_NULL) {
                const auto formula = sheetFormulas.constFind(xlsCellKey(r - 1, c));
                if (formula != sheetFormulas.constEnd()
                    && !formulaText(formula.value(), formulas, &text)) {
                    rows->clear();
                    return refuse(error, detail,
                                  cellProblem(r, c + 1, QStringLiteral("的公式没有计算结果")));
                }
            }
            if (!text.isEmpty())
                row.setCell(c + 1, text);
        }
        rows->append(row);
    }
    return true;
}

} // namespace

QString sheetErrorMessage(SheetError error)
{
    switch (error) {
    case SheetError::None:
        return QString();
    case SheetError::CannotOpen:
        return QStringLiteral("无法打开Excel文件，请检查后重新输入文件名及路径！");
    case SheetError::NoSuchSheet:
        return QStringLiteral("输入表格名称有误，无法打开表格，请重新输入！");
    case SheetError::ColumnBeyond:
        return QStringLiteral("输入表格列号超界，请重新输入！");
    case SheetError::NotWorkbook:
        return QStringLiteral("文件类型不对，请选择Excel文档！");
    case SheetError::Unreadable:
        return QStringLiteral("Excel文件无法读取！");
    }
    return QString();
}

bool isWorkbookName(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive)
           || fileName.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
}

bool workbookSheets(const QString &fileName, QStringList *names, SheetError *error)
{
    names->clear();
    *error = SheetError::None;
    const Kind kind = fileKind(fileName);
    if (kind == Kind::Xlsx) {
        XlsxBook book(fileName);
        if (!book.open(error))
            return false;
        *names = book.sheetNames;
        return true;
    }
    if (kind == Kind::Xls) {
        XlsHandle xls;
        return openXls(fileName, &xls, names, error);
    }
    *error = kindError(kind);
    return false;
}

int workbookColumnLimit(const QString &fileName)
{
    return fileKind(fileName) == Kind::Xls ? 256 : 16384;
}

bool readSheetRows(const QString &fileName, const QString &sheet, int first, int last,
                   QVector<SheetRow> *rows, SheetError *error, QString *detail,
                   const QVector<int> &columns)
{
    rows->clear();
    *error = SheetError::None;
    if (detail)
        detail->clear();
    first = qMax(1, first);
    if (last < first)
        return true;
    const Kind kind = fileKind(fileName);
    if (kind == Kind::Xlsx)
        return readXlsxRows(fileName, sheet, first, last, rows, error, detail, columns);
    if (kind == Kind::Xls)
        return readXlsRows(fileName, sheet, first, last, rows, error, detail, columns);
    *error = kindError(kind);
    return false;
}

SheetRow::SheetRow(const QStringList &texts)
    : m_dense(true)
    , m_texts(texts)
{}

QString SheetRow::cell(int column) const
{
    if (m_dense)
        return column >= 1 && column <= m_texts.size() ? m_texts.at(column - 1) : QString();
    const auto found = std::lower_bound(m_columns.cbegin(), m_columns.cend(), column);
    if (found == m_columns.cend() || *found != column)
        return QString();
    return m_texts.at(found - m_columns.cbegin());
}

bool SheetRow::setCell(int column, const QString &text)
{
    if (m_dense) {
        // Rarely asked of a CSV record; it becomes a sparse row first.
        const QStringList texts = std::exchange(m_texts, {});
        m_dense = false;
        for (int k = 0; k < texts.size(); ++k) {
            if (!texts.at(k).isEmpty()) {
                m_columns << k + 1;
                m_texts << texts.at(k);
            }
        }
    }
    // Cells come in column order almost always: appending is the rule.
    if (m_columns.isEmpty() || column > m_columns.last()) {
        m_columns << column;
        m_texts << text;
        return true;
    }
    const auto found = std::lower_bound(m_columns.begin(), m_columns.end(), column);
    if (*found == column)
        return false;
    const qsizetype at = found - m_columns.begin();
    m_columns.insert(at, column);
    m_texts.insert(at, text);
    return true;
}

QStringList SheetRow::texts() const
{
    if (m_dense)
        return m_texts;
    QStringList texts;
    if (m_columns.isEmpty())
        return texts;
    texts.reserve(m_columns.last());
    for (qsizetype k = 0; k < m_columns.size(); ++k) {
        while (texts.size() < m_columns.at(k) - 1)
            texts << QString();
        texts << m_texts.at(k);
    }
    return texts;
}

bool readWorkbookPart(const QString &fileName, const QString &part, QByteArray *data)
{
    ZipPackage zip(fileName);
    return zip.readPart(part, data);
}

} // namespace transfer
