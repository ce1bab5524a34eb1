#pragma once

// Days written as ISO text, and a chart of one series as an analysis grid gives it.

#include "analysis/chart.h"

#include <QDate>

namespace analysistest {

inline QDate day(const char *iso)
{
    return QDate::fromString(QLatin1String(iso), Qt::ISODate);
}

inline analysis::ChartData chartOf(const QStringList &labels, const QStringList &values)
{
    analysis::ChartData chart;
    chart.drawable = true;
    chart.title = QStringLiteral("某公司销售数据分析\r\n分析：zunta 日期：2024-01-01");
    chart.labels = labels;
    chart.columnCount = 3;
    chart.lastColumn = 2;
    chart.fixedColumnCount = 2;
    analysis::ChartSeries series{2, QStringLiteral("销售金额"), values, {}};
    for (const QString &v : values)
        series.values << v.toDouble();
    chart.series << series;
    return chart;
}

} // namespace analysistest
