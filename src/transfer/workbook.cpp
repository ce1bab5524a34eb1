#include "workbook.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include <freexl.h>
#include <minizip/unzip.h>

#include <cmath>
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
    return QString::number(value, 'g', 15);
}

// A spreadsheet date serial (days since 1899-12-30, or 1904-01-01 in the
// 1904 system) as date text; a time of day alone as time text.
QString serialDateText(double serial, bool system1904)
{
    const QDateTime base(system1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30), QTime(0, 0));
    const qint64 seconds = qint64(std::llround(serial * 86400.0));
    const QDateTime when = base.addSecs(seconds);
    if (serial >= 0 && serial < 1 && !system1904)
        return when.time().toString(QStringLiteral("HH:mm:ss"));
    if (when.time() == QTime(0, 0))
        return when.date().toString(QStringLiteral("yyyy-MM-dd"));
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// ---- .xlsx ---------------------------------------------------------------

const QString kRelationshipNs
        = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");

// A ZIP package opened for reading its parts (minizip).
class ZipPackage
{
public:
    explicit ZipPackage(const QString &fileName)
        : m_zip(unzOpen64(QFile::encodeName(fileName).constData()))
    {}
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

    // Reads a whole part into memory; false when it is missing or damaged.
    bool readPart(const QString &name, QByteArray *data)
    {
        data->clear();
        if (!openPart(name))
            return false;
        char buffer[65536];
        int read = 0;
        while ((read = unzReadCurrentFile(m_zip, buffer, sizeof buffer)) > 0)
            data->append(buffer, read);
        const bool whole = read == 0 && unzCloseCurrentFile(m_zip) == UNZ_OK;
        return whole;
    }

private:
    unzFile m_zip;
};

// The part opened last in a package, as a sequential device, so that a long
// worksheet is parsed while it is unpacked and reading can stop early.
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
        const int read = unzReadCurrentFile(m_package.handle(), data,
                                            unsigned(qMin<qint64>(maxSize, 1 << 20)));
        if (read < 0) {
            m_failed = true;
            return -1;
        }
        return read;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    ZipPackage &m_package;
    bool m_failed = false;
};

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
        xml.readNext();
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
    QStringList sharedStrings;
    QVector<bool> dateStyles; // by style index
    bool system1904 = false;
    QString sharedPart = QStringLiteral("xl/sharedStrings.xml");
    QString stylesPart = QStringLiteral("xl/styles.xml");

    explicit XlsxBook(const QString &fileName)
        : zip(fileName)
    {}

    bool open(SheetError *error)
    {
        if (!zip.isOpen()) {
            *error = SheetError::NotWorkbook;
            return false;
        }
        QByteArray workbook;
        QByteArray rels;
        if (!zip.readPart(QStringLiteral("xl/workbook.xml"), &workbook)
            || !zip.readPart(QStringLiteral("xl/_rels/workbook.xml.rels"), &rels)) {
            *error = SheetError::NotWorkbook;
            return false;
        }
        QHash<QString, QString> targets;
        {
            QXmlStreamReader xml(rels);
            while (!xml.atEnd()) {
                xml.readNext();
                if (!xml.isStartElement() || xml.name() != QLatin1String("Relationship"))
                    continue;
                const auto attributes = xml.attributes();
                const QString target
                        = partName(attributes.value(QLatin1String("Target")).toString());
                const QString type = attributes.value(QLatin1String("Type")).toString();
                targets.insert(attributes.value(QLatin1String("Id")).toString(), target);
                if (type.endsWith(QLatin1String("/sharedStrings")))
                    sharedPart = target;
                else if (type.endsWith(QLatin1String("/styles")))
                    stylesPart = target;
            }
        }
        {
            QXmlStreamReader xml(workbook);
            while (!xml.atEnd()) {
                xml.readNext();
                if (!xml.isStartElement())
                    continue;
                if (xml.name() == QLatin1String("workbookPr")) {
                    const QStringView value = xml.attributes().value(QLatin1String("date1904"));
                    system1904 = value == QLatin1String("1") || value == QLatin1String("true");
                } else if (xml.name() == QLatin1String("sheet")) {
                    const auto attributes = xml.attributes();
                    const QString id
                            = attributes.value(kRelationshipNs, QLatin1String("id")).toString();
                    sheetNames << attributes.value(QLatin1String("name")).toString();
                    sheetParts << targets.value(id);
                }
            }
            if (xml.hasError() || sheetNames.isEmpty()) {
                *error = SheetError::NotWorkbook;
                return false;
            }
        }
        return true;
    }

    void readSharedStrings()
    {
        QByteArray data;
        if (!zip.readPart(sharedPart, &data))
            return;
        QXmlStreamReader xml(data);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("si"))
                sharedStrings << runsText(xml);
        }
    }

    void readStyles()
    {
        QByteArray data;
        if (!zip.readPart(stylesPart, &data))
            return;
        QSet<int> customDates;
        QXmlStreamReader xml(data);
        bool inCellXfs = false;
        while (!xml.atEnd()) {
            xml.readNext();
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
    }
};

// Column number (1-based) and row number of a cell reference such as "AB12".
void cellPosition(QStringView ref, int *column, int *row)
{
    int c = 0;
    int i = 0;
    for (; i < ref.size(); ++i) {
        const QChar ch = ref.at(i).toUpper();
        if (ch < QLatin1Char('A') || ch > QLatin1Char('Z'))
            break;
        c = c * 26 + (ch.unicode() - 'A' + 1);
    }
    *column = c;
    *row = ref.mid(i).toInt();
}

bool readXlsxRows(const QString &fileName, const QString &sheet, int first, int last,
                  QVector<QStringList> *rows, SheetError *error)
{
    XlsxBook book(fileName);
    if (!book.open(error))
        return false;
    const int index = int(book.sheetNames.indexOf(sheet));
    if (index < 0) {
        *error = SheetError::NoSuchSheet;
        return false;
    }
    book.readSharedStrings();
    book.readStyles();
    if (!book.zip.openPart(book.sheetParts.at(index))) {
        *error = SheetError::NotWorkbook;
        return false;
    }
    PartDevice part(book.zip);
    QXmlStreamReader xml(&part);
    int rowNumber = 0;
    int columnNumber = 0;
    QStringList *current = nullptr;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("row")) {
            const QStringView r = xml.attributes().value(QLatin1String("r"));
            rowNumber = r.isEmpty() ? rowNumber + 1 : r.toInt();
            columnNumber = 0;
            current = nullptr;
            if (rowNumber > last)
                break;
            if (rowNumber < first) {
                xml.skipCurrentElement();
                continue;
            }
            // Rows the sheet leaves out (empty ones) are empty rows here.
            while (rows->size() < rowNumber - first + 1)
                rows->append(QStringList());
            current = &rows->last();
        } else if (xml.name() == QLatin1String("c") && current) {
            const auto attributes = xml.attributes();
            const QStringView ref = attributes.value(QLatin1String("r"));
            int refRow = rowNumber;
            if (ref.isEmpty())
                ++columnNumber;
            else
                cellPosition(ref, &columnNumber, &refRow);
            const QString type = attributes.value(QLatin1String("t")).toString();
            const int style = attributes.value(QLatin1String("s")).toInt();
            QString value;
            QString inlineText;
            bool hasInline = false;
            while (!xml.atEnd()) {
                xml.readNext();
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
                text = book.sharedStrings.value(value.toInt());
            } else if (type == QLatin1String("inlineStr") || hasInline) {
                text = inlineText;
            } else if (type == QLatin1String("b")) {
                text = value == QLatin1String("1") ? QStringLiteral("TRUE")
                                                   : QStringLiteral("FALSE");
            } else if (type == QLatin1String("str") || type == QLatin1String("e")
                       || type == QLatin1String("d")) {
                text = unescapedText(value);
            } else if (!value.isEmpty()) {
                bool ok = false;
                const double number = value.toDouble(&ok);
                if (!ok)
                    text = value;
                else if (book.dateStyles.value(style))
                    text = serialDateText(number, book.system1904);
                else
                    text = numberText(number);
            }
            if (columnNumber >= 1 && columnNumber <= 16384 && !text.isEmpty()) {
                while (current->size() < columnNumber)
                    current->append(QString());
                (*current)[columnNumber - 1] = text;
            }
        }
    }
    if (part.failed()
        || (xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)) {
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

bool readXlsRows(const QString &fileName, const QString &sheet, int first, int last,
                 QVector<QStringList> *rows, SheetError *error)
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
    const int end = qMin(last, int(rowCount));
    for (int r = first; r <= end; ++r) {
        QStringList cells;
        for (int c = 0; c < columnCount; ++c) {
            FreeXL_CellValue cell;
            if (freexl_get_cell_value(xls.handle, unsigned(r - 1), (unsigned short)c, &cell)
                != FREEXL_OK)
                break;
            cells << xlsCellText(cell);
        }
        while (!cells.isEmpty() && cells.last().isEmpty())
            cells.removeLast();
        rows->append(cells);
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
                   QVector<QStringList> *rows, SheetError *error)
{
    rows->clear();
    *error = SheetError::None;
    first = qMax(1, first);
    if (last < first)
        return true;
    const Kind kind = fileKind(fileName);
    if (kind == Kind::Xlsx)
        return readXlsxRows(fileName, sheet, first, last, rows, error);
    if (kind == Kind::Xls)
        return readXlsRows(fileName, sheet, first, last, rows, error);
    *error = kindError(kind);
    return false;
}

bool readWorkbookPart(const QString &fileName, const QString &part, QByteArray *data)
{
    ZipPackage zip(fileName);
    return zip.readPart(part, data);
}

} // namespace transfer
