#include "mappingdialog.h"

#include "columns.h"
#include "csv.h"
#include "mapping.h"
#include "workbook.h"

#include "grid/grid.h"
#include "store/prompts.h"
#include "ui/progress.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace transfer {

namespace {

// The preview's size with its header row and column.
constexpr int kPreviewRows = 20;
constexpr int kPreviewCols = 60;

// Columns of the mapping grid.
enum MappingColumn { kIndexColumn, kIdColumn, kNumberColumn, kCaptionColumn, kColumnsColumn };

QTableWidgetItem *fixedItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

bool isCsv(const QString &fileName)
{
    return fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
}

} // namespace

ImportMapDialog::ImportMapDialog(grid::Grid &target, const QString &fileName, const QString &sheet,
                                 QWidget *parent)
    : QDialog(parent)
    , m_target(target)
    , m_file(fileName)
    , m_sheet(sheet)
{
    setWindowTitle(QStringLiteral("导入数据映射"));

    m_preview = new QTableWidget(kPreviewRows - 1, kPreviewCols - 1, this);
    m_preview->setObjectName(QStringLiteral("M0"));
    m_preview->setToolTip(QStringLiteral("要导入表格的部分内容示例。"));
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QStringList letters;
    for (int c = 1; c < kPreviewCols; ++c)
        letters << ColumnLetters(c);
    m_preview->setHorizontalHeaderLabels(letters);

    m_mapping = new QTableWidget(0, 5, this);
    m_mapping->setObjectName(QStringLiteral("M1"));
    m_mapping->setToolTip(QStringLiteral("请填入各输入框对应表格所在的列号。"));
    m_mapping->setHorizontalHeaderLabels({QStringLiteral("Index"), QStringLiteral("ID"),
                                          QStringLiteral("序号"), QStringLiteral("输入框内容"),
                                          QStringLiteral("对应列号")});
    m_mapping->verticalHeader()->hide();
    m_mapping->setColumnHidden(kIndexColumn, true);
    m_mapping->setColumnHidden(kIdColumn, true);
    m_mapping->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_mapping->horizontalHeader()->setStretchLastSection(true);
    for (const MapEntry &entry : gridMapEntries(m_target)) {
        const int r = m_mapping->rowCount();
        m_mapping->insertRow(r);
        m_mapping->setItem(r, kIndexColumn, fixedItem(QStringLiteral("0")));
        m_mapping->setItem(r, kIdColumn, fixedItem(QString()));
        m_mapping->setItem(r, kNumberColumn, fixedItem(QString::number(r + 1)));
        m_mapping->setItem(r, kCaptionColumn, fixedItem(entry.caption));
        auto *columnsText = new QTableWidgetItem(QString());
        columnsText->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
        m_mapping->setItem(r, kColumnsColumn, columnsText);
    }

    const char *defaults[3] = {"2", "100", "1"};
    for (int i = 0; i < 3; ++i) {
        m_rows[i] = new QLineEdit(QString::fromLatin1(defaults[i]), this);
        m_rows[i]->setObjectName(QStringLiteral("T%1").arg(i));
        m_rows[i]->setMaximumWidth(80);
    }
    m_confirm = new QPushButton(QStringLiteral("确  定"), this);
    m_cancel = new QPushButton(QStringLiteral("取   消"), this);
    connect(m_confirm, &QPushButton::clicked, this, &ImportMapDialog::Confirm);
    connect(m_cancel, &QPushButton::clicked, this, &ImportMapDialog::reject);

    auto *rowLine = new QHBoxLayout;
    rowLine->addWidget(new QLabel(QStringLiteral("第"), this));
    rowLine->addWidget(m_rows[0]);
    rowLine->addWidget(new QLabel(QStringLiteral("行至第"), this));
    rowLine->addWidget(m_rows[1]);
    rowLine->addWidget(new QLabel(QStringLiteral("行"), this));
    rowLine->addSpacing(20);
    rowLine->addWidget(new QLabel(QStringLiteral("间隔"), this));
    rowLine->addWidget(m_rows[2]);
    rowLine->addWidget(new QLabel(QStringLiteral("行"), this));
    rowLine->addStretch();
    rowLine->addWidget(m_confirm);
    rowLine->addWidget(m_cancel);

    auto *left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("您将要导入的EXCEL表格样式："), this));
    left->addWidget(m_preview, 1);
    auto *right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("请按内容填入相应的对应列号："), this));
    right->addWidget(m_mapping, 1);
    auto *panes = new QHBoxLayout;
    panes->addLayout(left, 3);
    panes->addLayout(right, 2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(panes, 1);
    layout->addLayout(rowLine);
    resize(900, 520);

    fillPreview();
    m_mapping->resizeColumnsToContents();
    m_mapping->horizontalHeader()->setStretchLastSection(true);
    loadStored();
}

void ImportMapDialog::fillPreview()
{
    QVector<SheetRow> rows;
    if (isCsv(m_file)) {
        const QVector<QStringList> records = ReadCsvRecords(m_file);
        for (int r = 0; r < qMin(int(records.size()), kPreviewRows - 1); ++r)
            rows << SheetRow(records.at(r));
    } else if (isWorkbookName(m_file)) {
        SheetError error = SheetError::None;
        ui::ProgressStart(QStringLiteral("正在读取EXCEL数据……"), 1);
        readSheetRows(m_file, m_sheet, 1, kPreviewRows - 1, &rows, &error);
        ui::ProgressClose();
    } else {
        m_supported = false;
        store::prompts().message(
                QStringLiteral("您选择的文件格式不支持导入，请选择CSV或XLS文件！"));
        return;
    }
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < kPreviewCols - 1; ++c) {
            const QString text = rows.at(r).cell(c + 1);
            if (!text.isEmpty())
                m_preview->setItem(r, c, new QTableWidgetItem(text));
        }
    }
}

void ImportMapDialog::loadStored()
{
    const StoredMapping stored = loadMapping(m_target.tag());
    for (int r = 0; r < m_mapping->rowCount(); ++r) {
        const QString caption = m_mapping->item(r, kCaptionColumn)->text();
        const auto found = stored.columnTexts.constFind(caption);
        if (found != stored.columnTexts.constEnd())
            m_mapping->item(r, kColumnsColumn)->setText(found.value());
    }
    for (int i = 0; i < 3; ++i)
        if (!stored.rowTexts.value(i).isEmpty())
            m_rows[i]->setText(stored.rowTexts.value(i));
}

QVector<MapEntry> ImportMapDialog::entries() const
{
    QVector<MapEntry> list;
    for (int r = 0; r < m_mapping->rowCount(); ++r)
        list.append(MapEntry{m_mapping->item(r, kCaptionColumn)->text(),
                             m_mapping->item(r, kColumnsColumn)->text()});
    return list;
}

void ImportMapDialog::Confirm()
{
    if (!m_supported || m_file.isEmpty() || (!isCsv(m_file) && m_sheet.isEmpty())) {
        accept();
        return;
    }
    int first = 0;
    int last = 0;
    if (!importRowRange(m_rows[0]->text(), m_rows[1]->text(), &first, &last)) {
        store::prompts().message(QStringLiteral("一次性导入数据不得超过3万条记录，请重新设置！"));
        return;
    }
    // The mapping is kept even when the import stops on an error.
    done(QDialog::Accepted);
    if (isCsv(m_file))
        ImportCsv(m_target, entries(), m_file, first, last);
    else
        ImportExcel(m_target, entries(), m_file, m_sheet, first, last);
}

void ImportMapDialog::done(int result)
{
    if (!m_stored) {
        m_stored = true;
        QStringList rowTexts;
        for (QLineEdit *box : m_rows)
            rowTexts << box->text();
        saveMapping(m_target.tag(), entries(), rowTexts);
    }
    QDialog::done(result);
}

void ShowImportMap(grid::Grid &target, const QString &fileName, const QString &sheet,
                   QWidget *parent)
{
    ImportMapDialog dialog(target, fileName, sheet, parent);
    dialog.exec();
}

} // namespace transfer
