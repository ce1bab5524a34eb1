#include "xlsformulas.h"

#include <QFile>
#include <QStringDecoder>

#include <cstring>

namespace transfer {

namespace {

quint16 u16At(const QByteArray &bytes, qsizetype at)
{
    return quint16(quint8(bytes.at(at)) | (quint8(bytes.at(at + 1)) << 8));
}

quint32 u32At(const QByteArray &bytes, qsizetype at)
{
    return quint32(u16At(bytes, at)) | (quint32(u16At(bytes, at + 2)) << 16);
}

// ---- compound file -------------------------------------------------------

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kLastSector = 0xFFFFFFFA; // higher numbers are markers

// The streams of an OLE compound file (the container of .xls workbooks):
// sectors chained through the allocation table, small streams in the mini
// stream with their own table. Every chain is bounded, so a damaged file
// ends in a refusal, never in a loop or a read outside the file.
class CompoundFile
{
public:
    bool open(const QByteArray &bytes)
    {
        m_bytes = bytes;
        if (bytes.size() < 512 || !bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
            return false;
        const int sectorShift = u16At(bytes, 0x1E);
        if ((sectorShift != 9 && sectorShift != 12) || u16At(bytes, 0x20) != 6)
            return false;
        m_sectorSize = qsizetype(1) << sectorShift;
        m_sectorCount = bytes.size() / m_sectorSize - 1;
        const quint32 fatSectors = u32At(bytes, 0x2C);
        const quint32 firstDirectory = u32At(bytes, 0x30);
        m_miniCutoff = u32At(bytes, 0x38);
        const quint32 firstMiniFat = u32At(bytes, 0x3C);
        quint32 difatSector = u32At(bytes, 0x44);
        const quint32 difatSectors = u32At(bytes, 0x48);
        if (fatSectors > quint32(m_sectorCount))
            return false;

        // The sectors of the allocation table: 109 in the header, the rest
        // in a chain of DIFAT sectors.
        QVector<quint32> tableSectors;
        for (int i = 0; i < 109 && quint32(tableSectors.size()) < fatSectors; ++i)
            tableSectors << u32At(bytes, 0x4C + 4 * i);
        const qsizetype perSector = m_sectorSize / 4;
        for (quint32 n = 0; n < difatSectors && quint32(tableSectors.size()) < fatSectors; ++n) {
            if (!validSector(difatSector))
                return false;
            const qsizetype at = sectorOffset(difatSector);
            for (qsizetype i = 0; i < perSector - 1 && quint32(tableSectors.size()) < fatSectors;
                 ++i)
                tableSectors << u32At(bytes, at + 4 * i);
            difatSector = u32At(bytes, at + 4 * (perSector - 1));
        }
        for (const quint32 sector : std::as_const(tableSectors)) {
            if (!validSector(sector))
                return false;
            const qsizetype at = sectorOffset(sector);
            for (qsizetype i = 0; i < perSector; ++i)
                m_fat << u32At(bytes, at + 4 * i);
        }

        QByteArray directory;
        if (!readChain(firstDirectory, &directory))
            return false;
        for (qsizetype at = 0; at + 128 <= directory.size(); at += 128) {
            Entry entry;
            const int nameBytes = qMin<int>(u16At(directory, at + 64), 64);
            entry.name = QString::fromUtf16(
                    reinterpret_cast<const char16_t *>(directory.constData() + at),
                    qMax(0, nameBytes / 2 - 1));
            entry.type = quint8(directory.at(at + 66));
            entry.start = u32At(directory, at + 116);
            entry.size = u32At(directory, at + 120);
            m_entries << entry;
        }
        if (m_entries.isEmpty() || m_entries.first().type != 5)
            return false;
        // The mini stream lives in the root entry's chain.
        const Entry &root = m_entries.first();
        if (root.start != kEndOfChain && root.start < kLastSector) {
            if (!readChain(root.start, &m_miniStream))
                return false;
            m_miniStream.truncate(root.size);
            QByteArray miniTable;
            if (firstMiniFat < kLastSector && !readChain(firstMiniFat, &miniTable))
                return false;
            for (qsizetype at = 0; at + 4 <= miniTable.size(); at += 4)
                m_miniFat << u32At(miniTable, at);
        }
        return true;
    }

    // The bytes of the stream named name (case ignored); false when there is
    // none or its chain is damaged.
    bool stream(const QString &name, QByteArray *data) const
    {
        for (const Entry &entry : m_entries) {
            if (entry.type != 2 || entry.name.compare(name, Qt::CaseInsensitive) != 0)
                continue;
            const bool ok = entry.size < m_miniCutoff ? readMiniChain(entry.start, data)
                                                      : readChain(entry.start, data);
            if (!ok || data->size() < qsizetype(entry.size))
                return false;
            data->truncate(entry.size);
            return true;
        }
        return false;
    }

private:
    struct Entry
    {
        QString name;
        quint8 type = 0;
        quint32 start = 0;
        quint32 size = 0;
    };

    bool validSector(quint32 sector) const { return sector < quint32(m_sectorCount); }
    qsizetype sectorOffset(quint32 sector) const { return (qsizetype(sector) + 1) * m_sectorSize; }

    bool readChain(quint32 sector, QByteArray *data) const
    {
        data->clear();
        for (qsizetype steps = 0; sector != kEndOfChain; ++steps) {
            // A chain longer than the file has sectors runs in a circle.
            if (!validSector(sector) || sector >= quint32(m_fat.size()) || steps > m_sectorCount)
                return false;
            data->append(m_bytes.constData() + sectorOffset(sector), m_sectorSize);
            sector = m_fat.at(sector);
        }
        return true;
    }

    bool readMiniChain(quint32 sector, QByteArray *data) const
    {
        constexpr qsizetype kMiniSector = 64;
        data->clear();
        for (qsizetype steps = 0; sector != kEndOfChain; ++steps) {
            if (sector >= quint32(m_miniFat.size()) || steps > m_miniStream.size() / kMiniSector
                || (qsizetype(sector) + 1) * kMiniSector > m_miniStream.size())
                return false;
            data->append(m_miniStream.constData() + qsizetype(sector) * kMiniSector, kMiniSector);
            sector = m_miniFat.at(sector);
        }
        return true;
    }

    QByteArray m_bytes;
    qsizetype m_sectorSize = 512;
    qsizetype m_sectorCount = 0;
    quint32 m_miniCutoff = 4096;
    QVector<quint32> m_fat;
    QVector<quint32> m_miniFat;
    QByteArray m_miniStream;
    QVector<Entry> m_entries;
};

// ---- workbook stream -----------------------------------------------------

enum RecordType : quint16 {
    kFormula = 0x0006,
    kEof = 0x000A,
    kDateMode = 0x0022,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kCodePage = 0x0042,
    kBoundSheet = 0x0085,
    kXf = 0x00E0,
    kString = 0x0207,
    kArray = 0x0221,
    kTable = 0x0236,
    kFormat = 0x041E,
    kSharedFormula = 0x04BC,
    kBof = 0x0809,
};

struct Record
{
    quint16 type = 0;
    QByteArray data;
};

// The records of a workbook stream from offset on, one at a time.
class RecordReader
{
public:
    RecordReader(const QByteArray &stream, qsizetype offset)
        : m_stream(stream)
        , m_at(offset)
    {}

    // The next record; false at the end of the stream or on a record that
    // runs past it.
    bool next(Record *record)
    {
        if (m_at < 0 || m_at + 4 > m_stream.size())
            return false;
        const quint16 length = u16At(m_stream, m_at + 2);
        if (m_at + 4 + length > m_stream.size())
            return false;
        record->type = u16At(m_stream, m_at);
        record->data = m_stream.mid(m_at + 4, length);
        m_at += 4 + length;
        return true;
    }

private:
    const QByteArray &m_stream;
    qsizetype m_at;
};

// Texts of the workbook: 8-bit texts (BIFF5, and BIFF8 texts without high
// bytes) and UTF-16 texts.
struct TextDecoder
{
    bool biff8 = true;
    int codePage = 1252;

    QString eightBit(const char *data, qsizetype size) const
    {
        if (biff8)
            return QString::fromLatin1(data, size); // the low bytes of UTF-16
        const QByteArray name
                = codePage == 936 ? QByteArray("GBK") : "windows-" + QByteArray::number(codePage);
        QStringDecoder decoder(name.constData());
        if (!decoder.isValid())
            return QString::fromLatin1(data, size);
        return decoder.decode(QByteArrayView(data, size));
    }

    // A text of count characters at data[at] with its option byte first
    // (BIFF8) or without one (BIFF5), cut short at the end of data.
    QString text(const QByteArray &data, qsizetype at, int count) const
    {
        bool wide = false;
        if (biff8) {
            if (at >= data.size())
                return QString();
            wide = (quint8(data.at(at)) & 0x01) != 0;
            ++at;
        }
        const qsizetype bytes = qMin<qsizetype>(qsizetype(count) * (wide ? 2 : 1),
                                                qMax<qsizetype>(0, data.size() - at));
        if (wide)
            return QString::fromUtf16(reinterpret_cast<const char16_t *>(data.constData() + at),
                                      bytes / 2);
        return eightBit(data.constData() + at, bytes);
    }
};

QString errorName(int code)
{
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    case 0x2A:
        return QStringLiteral("#N/A");
    default:
        return QStringLiteral("#ERROR!");
    }
}

// The formula values of the worksheet whose BOF record is at offset.
bool readSheetFormulas(const QByteArray &stream, qsizetype offset, const TextDecoder &texts,
                       QHash<quint32, XlsFormulaValue> *cells)
{
    RecordReader reader(stream, offset);
    Record record;
    if (!reader.next(&record) || record.type != kBof)
        return false;
    int depth = 1; // charts inside a sheet bring their own BOF … EOF
    XlsFormulaValue *pendingText = nullptr;
    QString text;     // a STRING record's text so far, with its CONTINUE parts
    int textLeft = 0; // characters still to come in CONTINUE records
    // Adds a part of the text of the formula waiting for it; the formula has
    // its value once the text is whole.
    const auto addText = [&](const QString &part) {
        text += part;
        textLeft -= int(part.size());
        if (textLeft <= 0 && pendingText) {
            pendingText->kind = XlsFormulaValue::Text;
            pendingText->text = text;
            pendingText = nullptr;
        }
    };
    while (depth > 0 && reader.next(&record)) {
        const QByteArray &data = record.data;
        if (record.type == kContinue && textLeft > 0 && pendingText) {
            addText(texts.text(data, 0, textLeft));
            continue;
        }
        switch (record.type) {
        case kBof:
            ++depth;
            break;
        case kEof:
            --depth;
            break;
        case kFormula: {
            if (depth != 1 || data.size() < 14)
                break;
            const int row = u16At(data, 0);
            const int column = u16At(data, 2);
            XlsFormulaValue value;
            value.style = u16At(data, 4);
            const bool special = quint8(data.at(12)) == 0xFF && quint8(data.at(13)) == 0xFF;
            if (!special) {
                value.kind = XlsFormulaValue::Number;
                std::memcpy(&value.number, data.constData() + 6, sizeof value.number);
            } else {
                switch (quint8(data.at(6))) {
                case 0: // a text, in the STRING record that follows
                    value.kind = XlsFormulaValue::Missing;
                    break;
                case 1:
                    value.kind = XlsFormulaValue::Boolean;
                    value.number = quint8(data.at(8)) ? 1 : 0;
                    break;
                case 2:
                    value.kind = XlsFormulaValue::Error;
                    value.text = errorName(quint8(data.at(8)));
                    break;
                case 3:
                    value.kind = XlsFormulaValue::Text;
                    break;
                default:
                    value.kind = XlsFormulaValue::Missing;
                    break;
                }
            }
            XlsFormulaValue &stored = (*cells)[xlsCellKey(row, column)];
            stored = value;
            pendingText = special && quint8(data.at(6)) == 0 ? &stored : nullptr;
            textLeft = 0;
            break;
        }
        case kString:
            if (pendingText && data.size() >= 2) {
                text.clear();
                textLeft = u16At(data, 0);
                addText(texts.text(data, 2, textLeft));
            }
            break;
        case kSharedFormula:
        case kArray:
        case kTable:
            break; // may stand between a formula and its text
        default:
            // Any other record ends the wait for a text: the formula keeps
            // no value.
            pendingText = nullptr;
            textLeft = 0;
            break;
        }
    }
    return true;
}

} // namespace

bool readXlsFormulas(const QString &fileName, XlsFormulas *formulas)
{
    *formulas = XlsFormulas();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    CompoundFile compound;
    if (!compound.open(file.readAll()))
        return false;
    QByteArray stream;
    if (!compound.stream(QStringLiteral("Workbook"), &stream)
        && !compound.stream(QStringLiteral("Book"), &stream))
        return false;

    RecordReader reader(stream, 0);
    Record record;
    if (!reader.next(&record) || record.type != kBof || record.data.size() < 4)
        return false;
    TextDecoder texts;
    const int version = u16At(record.data, 0);
    if (version != 0x0600 && version != 0x0500)
        return false;
    texts.biff8 = version == 0x0600;

    struct Sheet
    {
        QString name;
        qsizetype offset;
    };
    QVector<Sheet> sheets;
    while (reader.next(&record) && record.type != kEof) {
        const QByteArray &data = record.data;
        switch (record.type) {
        case kFilePass:
            return false; // encrypted: the values cannot be read
        case kCodePage:
            if (data.size() >= 2)
                texts.codePage = u16At(data, 0);
            break;
        case kDateMode:
            if (data.size() >= 2)
                formulas->system1904 = u16At(data, 0) == 1;
            break;
        case kXf:
            if (data.size() >= 4)
                formulas->styleFormats << u16At(data, 2);
            break;
        case kFormat:
            if (data.size() >= (texts.biff8 ? 4 : 3)) {
                const int id = u16At(data, 0);
                const int count = texts.biff8 ? u16At(data, 2) : quint8(data.at(2));
                formulas->formatCodes.insert(id, texts.text(data, texts.biff8 ? 4 : 3, count));
            }
            break;
        case kBoundSheet:
            if (data.size() >= 7) {
                const quint32 offset = u32At(data, 0);
                const int kind = quint8(data.at(5));
                const QString name = texts.text(data, 7, quint8(data.at(6)));
                if (kind == 0)
                    sheets << Sheet{name, qsizetype(offset)};
            }
            break;
        default:
            break;
        }
    }
    for (const Sheet &sheet : std::as_const(sheets)) {
        if (!readSheetFormulas(stream, sheet.offset, texts, &formulas->sheets[sheet.name]))
            return false;
    }
    return true;
}

} // namespace transfer
