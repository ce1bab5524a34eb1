#pragma once

#include <QDialog>
#include <QStringList>

class QTableWidget;
class QPushButton;

namespace transfer {

// The worksheet chooser "选择要导入数据所在的工作表": one row per worksheet
// (No., 选择, 工作表名称); a click on a row's 选择 cell ticks it with "√" and
// clears every other row, a click on a ticked cell clears it. 确定 takes the
// ticked worksheet, 取消 none.
class SheetDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SheetDialog(const QStringList &names, QWidget *parent = nullptr);

    QTableWidget *sheetGrid() const { return m_grid; }
    QPushButton *confirmButton() const { return m_confirm; }
    QPushButton *cancelButton() const { return m_cancel; }

    // A click on the 选择 cell of a row.
    void ClickChoice(int row);
    // The ticked worksheet; empty when none is ticked or the dialog was
    // cancelled.
    QString chosenSheet() const { return m_chosen; }

private:
    QTableWidget *m_grid = nullptr;
    QPushButton *m_confirm = nullptr;
    QPushButton *m_cancel = nullptr;
    QString m_chosen;
};

// Shows the chooser modally; the chosen worksheet, empty when none.
QString ChooseSheet(const QStringList &names, QWidget *parent = nullptr);

} // namespace transfer
