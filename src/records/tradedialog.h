#pragma once

#include "trades.h"

#include "store/session.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <functional>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class ComboFinder;
}

namespace records {

// The texts and master dialogs that tell the sale dialog from the purchase
// dialog.
struct TradeDialogTexts
{
    QString caption;
    QString dateLabel;
    QStringList listLabels; // lists 0 to 3
    QStringList boxLabels;  // boxes 0 to 4
    QStringList addRights;  // the rights of the 添加 buttons 2 to 5
    QString refusal;        // shown when a list is empty on saving
    int recordTab = 0;      // the main window's tab that lists these records
};

// What the sale and purchase dialogs share: the order number box, four
// master lists with their 添加 shortcuts, five boxes chained price ×
// quantity → amount → paid amount, the date picker, and loading and
// storing one record. The subclasses add the price hints.
class TradeDialog : public QWidget
{
    Q_OBJECT

public:
    // List i, box i, button i (0 确定, 1 取消, 2 to 5 添加), the order number
    // box and the date picker.
    QComboBox *list(int index) const { return CMB.value(index); }
    // The entry list index shows, empty when it shows typed text that is no
    // entry.
    QString chosen(int index) const;
    QLineEdit *box(int index) const { return TXT.value(index); }
    QPushButton *button(int index) const { return Com.value(index); }
    QLineEdit *idBox() const { return m_idBox; }
    QPushButton *saveAndContinueButton() const { return m_saveAndContinue; }
    // "库存：N" beside the product: the chosen product's stock now.
    QLabel *stockLabel() const { return m_stockLabel; }
    QDateEdit *datePicker() const { return DTP; }

    // Enables each 添加 button when the current rights grant its token.
    void SetRight();

    // The choice step of list index, as when the user picks an entry.
    virtual void ListClick(int index) = 0;

    // What the dialog would store now.
    TradeEntry entry() const;

protected:
    TradeDialog(const TradeTable &table, const TradeDialogTexts &texts, QWidget *parent);

    // The opening step: today's date, the lists filled with their saved
    // defaults, then the subclass's choice steps and the rights.
    void openEmpty();
    // Fills the dialog from record id; nothing happens when there is none
    // but the order number.
    void loadRecord(int id);
    // Stores the dialog and asks the main window to reload the list when
    // it shows these records. False when nothing could be stored.
    bool saveRecord();
    // Refreshes the hints of the lists after a record was loaded, without
    // touching the boxes.
    virtual void refreshHints() = 0;

    const TradeTable &m_table;

private:
    // The checks and the saving that 确定 and 保存并继续 share; false when
    // the dialog is to stay as it is.
    bool checkAndSave();
    void confirm();
    void saveAndContinue();
    void showStock();
    void addMaster(int index);
    bool eventFilter(QObject *watched, QEvent *event) override;

    TradeDialogTexts m_texts;
    QVector<QComboBox *> CMB;
    QVector<ui::ComboFinder *> m_finders; // typing finds the entries of CMB
    QVector<QLineEdit *> TXT;
    QVector<QPushButton *> Com;
    QLineEdit *m_idBox = nullptr;
    QDateEdit *DTP = nullptr;
    QPushButton *m_saveAndContinue = nullptr;
    QLabel *m_stockLabel = nullptr;
    // The account set whose master rows fill the lists, and the login whose
    // rights opened the dialog.
    store::SessionStamp m_session;
    // The stored date and time of a loaded record: kept when the date is
    // not changed, so saving does not drop the time of day.
    QDateTime m_loadedDate;
};

// Opens the dialog of a master table (Pro, Cus, Vendor, Acc, Staff) for a
// new record and returns its caption, to wait for; used by the 添加
// shortcuts. An empty caption for any other table.
QString openMasterDialog(const QString &table, QWidget *parent);

} // namespace records
