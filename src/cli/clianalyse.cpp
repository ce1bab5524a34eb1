#include "clianalyse.h"

#include "cliargs.h"
#include "clilists.h"
#include "cliprompts.h"

#include "analysis/analyses.h"
#include "analysis/chart.h"
#include "analysis/picture.h"
#include "app/commands.h"
#include "app/settings.h"
#include "grid/grid.h"
#include "records/rights.h"
#include "store/access.h"

#include <QFileInfo>

#include <algorithm>
#include <memory>

namespace cli {

namespace {

// Size of the chart picture the tool draws: the analysis tab's picture box
// on a common 1280 × 1024 screen.
const QSize kChartSize(900, 600);

const QStringList &analysisWords()
{
    static const QStringList words
            = {QStringLiteral("sales"),  QStringLiteral("stock"),       QStringLiteral("customers"),
               QStringLiteral("profit"), QStringLiteral("receivables"), QStringLiteral("payables")};
    return words;
}

// The ID text of the master named name ("0" for none); empty when no row
// of the table has that name.
QString masterId(const QString &table, const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("0");
    const QVariant id = store::LookupWhere(table, QStringLiteral("Name=") + store::sqlText(name),
                                           QStringLiteral("ID"));
    const qlonglong number = id.toLongLong();
    return number > 0 ? QString::number(number) : QString();
}

// The words of receivables and payables; both run the 往来分析 tab.
constexpr int kReceivables = 4;
constexpr int kPayables = 5;

// The analysis tab's dates: --from/--to, else the dates its pickers restore.
// Debts are counted up to today from the first record on, unless told.
bool analysisRange(const Invocation &inv, int tab, QDate *start, QDate *end)
{
    if (tab >= kReceivables) {
        *start = QDate();
        *end = QDate::currentDate();
        return applyDateOptions(inv, start, end);
    }
    const QDate today = QDate::currentDate();
    app::WindowSettings settings;
    for (int i = 0; i < int(settings.analysisDates.size()); ++i)
        settings.analysisDates[i] = i % 2 == 0 ? QDate(today.year(), 1, 1) : today;
    app::LoadSettings(settings);
    *start = settings.analysisDates[2 * tab];
    *end = settings.analysisDates[2 * tab + 1];
    return applyDateOptions(inv, start, end);
}

} // namespace

int runAnalyse(const Invocation &inv)
{
    const int tab = analysisWords().indexOf(inv.words.first());
    if (tab < 0) {
        printError(QStringLiteral("未知分析：%1（可用：%2）")
                           .arg(inv.words.first(), analysisWords().join(QLatin1Char(' '))));
        return kUsage;
    }
    // The window's analysis buttons have no right of their own: they are
    // open to a member who holds any right at all.
    const app::CommandButton *button
            = app::commandButton(20 * app::kAnalysisTab + std::min(tab, app::kBalanceTab) + 1);
    QStringList rights = {button ? button->right : records::kAllRights};
    if (tab == kReceivables)
        rights << QStringLiteral("销售数据查看");
    if (tab == kPayables)
        rights << QStringLiteral("采购数据查看");
    if (!holdsRights(rights))
        return kRefused;
    const QString out = inv.options.value(QStringLiteral("--out"));
    const QString suffix = QFileInfo(out).suffix().toLower();
    static const QStringList outputs = {QStringLiteral("csv"), QStringLiteral("xlsx"),
                                        QStringLiteral("jpg"), QStringLiteral("pdf")};
    if (!outputs.contains(suffix)) {
        printError(QStringLiteral("请用 --out 指定 .csv、.xlsx、.jpg 或 .pdf 文件。"));
        return kUsage;
    }
    // Options that the chosen analysis has no box for are refused rather
    // than silently ignored.
    const QMap<QString, QStringList> accepted = {
            {QStringLiteral("sales"),
             {QStringLiteral("--by"), QStringLiteral("--measure"), QStringLiteral("--product"),
              QStringLiteral("--salesman")}},
            {QStringLiteral("stock"), {QStringLiteral("--product")}},
            {QStringLiteral("customers"), {QStringLiteral("--measure")}},
            {QStringLiteral("profit"), {}},
            {QStringLiteral("receivables"), {}},
            {QStringLiteral("payables"), {}},
    };
    for (const QString &option : {QStringLiteral("--by"), QStringLiteral("--measure"),
                                  QStringLiteral("--product"), QStringLiteral("--salesman")}) {
        if (inv.options.contains(option) && !accepted.value(inv.words.first()).contains(option)) {
            printError(QStringLiteral("分析 %1 不接受选项 %2。").arg(inv.words.first(), option));
            return kUsage;
        }
    }

    static const QStringList groupings
            = {QStringLiteral("year"), QStringLiteral("month"),   QStringLiteral("week"),
               QStringLiteral("day"),  QStringLiteral("product"), QStringLiteral("salesman")};
    const QString by = inv.options.value(QStringLiteral("--by"), QStringLiteral("month"));
    const int grouping = groupings.indexOf(by);
    if (grouping < 0) {
        printError(QStringLiteral("--by 应为 %1 之一。").arg(groupings.join(QLatin1Char('|'))));
        return kUsage;
    }
    static const QStringList measures
            = {QStringLiteral("amount"), QStringLiteral("quantity"), QStringLiteral("average")};
    const QString measureText
            = inv.options.value(QStringLiteral("--measure"), QStringLiteral("amount"));
    const int measure = measures.indexOf(measureText);
    if (measure < 0 || (tab == 0 && measure == 2)) {
        printError(tab == 0 ? QStringLiteral("--measure 应为 amount 或 quantity。")
                            : QStringLiteral("--measure 应为 amount、quantity 或 average。"));
        return kUsage;
    }
    const QString productId
            = masterId(QStringLiteral("Pro"), inv.options.value(QStringLiteral("--product")));
    const QString salesmanId
            = masterId(QStringLiteral("Staff"), inv.options.value(QStringLiteral("--salesman")));
    if (productId.isEmpty() || salesmanId.isEmpty()) {
        printError(productId.isEmpty()
                           ? QStringLiteral("没有找到产品：%1")
                                     .arg(inv.options.value(QStringLiteral("--product")))
                           : QStringLiteral("没有找到员工：%1")
                                     .arg(inv.options.value(QStringLiteral("--salesman"))));
        return kUsage;
    }
    QDate start;
    QDate end;
    if (!analysisRange(inv, tab, &start, &end))
        return kUsage;

    std::unique_ptr<grid::Grid> grid(newListGrid());
    const int failures = store::FailedOperations();
    analysis::ChartData chart;
    switch (tab) {
    case 0:
        chart = analysis::AnalyseSales(*grid, analysis::Grouping(grouping), measure == 0, start,
                                       end, productId, salesmanId);
        break;
    case 1:
        chart = analysis::AnalyseStock(*grid, start, end, productId, false);
        break;
    case 2:
        chart = analysis::AnalyseCustomers(*grid, start, end, measure);
        break;
    case 3:
        chart = analysis::AnalyseProfit(*grid, start, end);
        break;
    default:
        chart = analysis::AnalyseBalances(*grid, tab == kPayables, start, end);
        break;
    }
    int code = kDone;
    if (failedSince(failures)) {
        code = kDataError;
    } else if (suffix == QLatin1String("jpg")) {
        const QString target = outputTarget(out);
        if (target.isEmpty()) {
            code = kDataError;
        } else if (!analysis::WriteJpeg(analysis::ChartImage(chart, kChartSize), target)) {
            printError(QStringLiteral("保存图片出错！"));
            code = kDataError;
        }
    } else {
        code = writeGrid(*grid, out, true);
    }
    // The scratch tables go as they do when the program ends.
    store::DropTablesByPrefix(QStringLiteral("T_"));
    return code;
}

} // namespace cli
