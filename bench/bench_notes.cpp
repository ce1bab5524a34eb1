// Figures of the delivery note and the 合计 line: a 50-line 销售单 read from
// the set and written to a PDF file, and the 合计 line of the sales list of
// the last generated year (the 29,164 rows a 12-column grid takes) beside
// the load of that list.

#include "dataset.h"
#include "measure.h"

#include "app/deliverynotes.h"
#include "grid/grid.h"
#include "grid/gridtotals.h"
#include "print/deliverynotepreview.h"
#include "records/sales.h"
#include "store/access.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>

namespace bench {

void notesFigures(const Context &context)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        report(QStringLiteral("notes_skipped_no_qapplication"), 1, QStringLiteral("flag"));
        return;
    }
    AnsweringPrompts prompts;
    store::setPrompts(&prompts);

    // The 50 latest sales of the customer with the most sales.
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT CID, COUNT(*) AS N FROM Sale GROUP BY CID "
                                        "ORDER BY COUNT(*) DESC"));
    const qint64 customer = rs.isOpen() && !rs.eof() ? rs.value(0).toLongLong() : 0;
    store::OpenQuery(rs, QStringLiteral("SELECT TOP 50 ID FROM Sale WHERE CID=%1 ORDER BY ID DESC")
                                 .arg(customer));
    QList<int> ids;
    for (rs.moveFirst(); rs.isOpen() && !rs.eof(); rs.moveNext())
        ids << rs.value(0).toInt();
    report(QStringLiteral("note_lines"), ids.size(), QStringLiteral("lines"));

    const QString pdf = QDir(context.folder).filePath(QStringLiteral("bench_note.pdf"));
    const print::Paper a4{210, 297, 10, 10, 10, 10};
    bool written = false;
    int pages = 0;
    const WallAndCpu note = medianWallAndCpuMs(
            context.runs, [&] { QFile::remove(pdf); },
            [&] {
                print::DeliveryNote read;
                QString error;
                written = app::ReadDeliveryNote(app::NoteKind::Sale, ids, &read, &error);
                pages = print::deliveryNotePageCount(read, a4);
                written = written
                          && print::PrintPagesToPdf(pdf, print::deliveryNoteJob(read, a4),
                                                    print::batchPages(1, pages, pages));
            });
    report(QStringLiteral("note_50_lines_pdf_written"), written ? 1 : 0, QStringLiteral("flag"));
    report(QStringLiteral("note_50_lines_pdf_pages"), pages, QStringLiteral("pages"));
    report(QStringLiteral("note_50_lines_pdf_ms"), note.wall, QStringLiteral("ms"));
    report(QStringLiteral("note_50_lines_pdf_cpu_ms"), note.cpu, QStringLiteral("ms"));

    // The list of the last year, then its 合计 line alone.
    const QDate last = QDate::fromString(QString::fromLatin1(kLastDay), Qt::ISODate);
    grid::Grid grid;
    grid.resize(1200, 700);
    const WallAndCpu load = medianWallAndCpuMs(context.runs, {}, [&] {
        records::LoadSalesList(grid, QDate(last.year(), 1, 1), last, records::FilterBar());
    });
    report(QStringLiteral("totals_list_rows"), grid.dataRows(), QStringLiteral("rows"));
    report(QStringLiteral("totals_list_load_ms"), load.wall, QStringLiteral("ms"));
    grid::TotalsLine line(&grid, QStringLiteral("未收金额"));
    const WallAndCpu totals = medianWallAndCpuMs(context.runs * 4, {}, [&] { line.refresh(); });
    report(QStringLiteral("totals_line_ms"), totals.wall, QStringLiteral("ms"));
    report(QStringLiteral("totals_line_cpu_ms"), totals.cpu, QStringLiteral("ms"));
    report(QStringLiteral("totals_line_share_of_load"),
           load.wall > 0 ? 100 * totals.wall / load.wall : 0, QStringLiteral("%"));

    // The same sums by a plain SQL statement over the list's rows.
    const QString listSql = records::salesListSql(QDate(last.year(), 1, 1), last, QString());
    const WallAndCpu sql = medianWallAndCpuMs(context.runs, {}, [&] {
        store::RecordSet sums;
        store::OpenQuery(sums,
                         QStringLiteral("SELECT COUNT(*), SUM(Num), SUM(Pay), SUM(Pay1) FROM (")
                                 + listSql + QLatin1Char(')'));
    });
    report(QStringLiteral("totals_plain_sql_ms"), sql.wall, QStringLiteral("ms"));
    store::setPrompts(nullptr);
}

} // namespace bench
