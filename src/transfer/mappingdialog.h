#pragma once

#include "importer.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace grid {
class Grid;
}

namespace transfer {

// The mapping dialog "导入数据映射": a preview of the file (20 rows × 60
// columns with column letters and row numbers), the mapping grid with one row
// per list column (the 对应列号 cell edited in place), the first and last row
// to import and a third row setting. The mapping is stored per table when the
// dialog closes, whichever way; 确  定 imports.
class ImportMapDialog : public QDialog
{
    Q_OBJECT

public:
    ImportMapDialog(grid::Grid &target, const QString &fileName, const QString &sheet,
                    QWidget *parent = nullptr);

    QTableWidget *preview() const { return m_preview; }
    QTableWidget *mappingGrid() const { return m_mapping; }
    QLineEdit *rowBox(int i) const { return m_rows[i]; }
    QPushButton *confirmButton() const { return m_confirm; }
    QPushButton *cancelButton() const { return m_cancel; }

    // The mapping as the grid holds it, in row order.
    QVector<MapEntry> entries() const;
    // 确  定: checks the rows, imports and closes; stays open after the
    // too-many-rows message.
    void Confirm();

    void done(int result) override;

private:
    void fillPreview();
    void loadStored();

    grid::Grid &m_target;
    QString m_file;
    QString m_sheet;
    bool m_supported = true;
    bool m_stored = false;
    QTableWidget *m_preview = nullptr;
    QTableWidget *m_mapping = nullptr;
    QLineEdit *m_rows[3] = {};
    QPushButton *m_confirm = nullptr;
    QPushButton *m_cancel = nullptr;
};

// Shows the dialog modally for the list grid and the chosen file.
void ShowImportMap(grid::Grid &target, const QString &fileName, const QString &sheet,
                   QWidget *parent = nullptr);

} // namespace transfer
