#include "tradedialog.h"

#include "accountdialog.h"
#include "customerdialog.h"
#include "productdialog.h"
#include "products.h"
#include "rights.h"
#include "staffdialog.h"
#include "vendordialog.h"

#include "store/formatting.h"
#include "store/params.h"
#include "store/prompts.h"
#include "store/session.h"
#include "ui/combofinder.h"
#include "ui/dialogkeys.h"
#include "ui/helpers.h"
#include "ui/shellhost.h"

#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSet>

namespace records {

namespace {

const QString kDefaultPrefix = QStringLiteral("默认值_");

} // namespace

TradeDialog::TradeDialog(const TradeTable &table, const TradeDialogTexts &texts, QWidget *parent)
    : QWidget(parent, Qt::Dialog)
    , m_table(table)
    , m_texts(texts)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(texts.caption);

    auto *layout = new QGridLayout(this);
    int row = 0;
    m_idBox = new QLineEdit(this);
    m_idBox->setReadOnly(true);
    layout->addWidget(new QLabel(QStringLiteral("订单编号："), this), row, 0);
    layout->addWidget(m_idBox, row, 1);
    DTP = new QDateEdit(this);
    DTP->setCalendarPopup(true);
    DTP->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    layout->addWidget(new QLabel(texts.dateLabel, this), row, 2);
    layout->addWidget(DTP, row, 3);
    ++row;

    Com.append(new QPushButton(QStringLiteral("确    定"), this));
    Com.append(new QPushButton(QStringLiteral("取    消"), this));
    for (int i = 0; i < 4; ++i) {
        auto *combo = new QComboBox(this);
        combo->setMinimumWidth(ui::pixels(2800));
        // Scrolling and the arrow keys never change the entry in passing.
        combo->installEventFilter(this);
        CMB.append(combo);
        // Typing finds an entry by its name or initials, a product also by
        // the codes kept in its named fields; a scanned code goes straight
        // on to the quantity.
        auto *finder = new ui::ComboFinder(combo, ui::ComboFinder::Entries::IdName, false,
                                           table.listTables.at(i) == QLatin1String("Pro")
                                                   ? ui::ComboFinder::CodeSource(productCodes)
                                                   : ui::ComboFinder::CodeSource());
        m_finders.append(finder);
        auto *add = new QPushButton(QStringLiteral("添加"), this);
        Com.append(add);
        auto *line = new QHBoxLayout;
        line->addWidget(combo, 1);
        if (i == 0) {
            m_stockLabel = new QLabel(this);
            m_stockLabel->setMinimumWidth(ui::pixels(1200));
            line->addWidget(m_stockLabel);
        }
        line->addWidget(add);
        layout->addWidget(new QLabel(texts.listLabels.value(i), this), row + i / 2, (i % 2) * 2);
        layout->addLayout(line, row + i / 2, (i % 2) * 2 + 1);
        connect(combo, &QComboBox::activated, this, [this, i] { ListClick(i); });
        connect(add, &QPushButton::clicked, this, [this, i] { addMaster(i); });
    }
    row += 2;

    for (int i = 0; i < 5; ++i) {
        auto *edit = new QLineEdit(this);
        TXT.append(edit);
        if (i < 4) {
            layout->addWidget(new QLabel(texts.boxLabels.value(i), this), row + i / 2, (i % 2) * 2);
            layout->addWidget(edit, row + i / 2, (i % 2) * 2 + 1);
        } else {
            layout->addWidget(new QLabel(texts.boxLabels.value(i), this), row + 2, 0);
            layout->addWidget(edit, row + 2, 1, 1, 3);
        }
    }
    row += 3;
    // The stock shows for the product the list shows, and for nothing else.
    connect(CMB[0], &QComboBox::currentIndexChanged, this, &TradeDialog::showStock);
    connect(CMB[0], &QComboBox::editTextChanged, this, &TradeDialog::showStock);
    connect(m_finders[0], &ui::ComboFinder::scanned, this, [this] {
        TXT[1]->setFocus(Qt::OtherFocusReason);
        TXT[1]->selectAll();
    });
    // The designed contents, set before the chain is connected: quantity 1,
    // nothing paid yet.
    TXT[1]->setText(QStringLiteral("1"));
    TXT[3]->setText(QStringLiteral("0"));

    // The amount chain: price or quantity sets the amount, the amount sets
    // the paid amount; each runs also when the program sets a box.
    for (int i = 0; i < 2; ++i) {
        connect(TXT[i], &QLineEdit::textChanged, this,
                [this] { TXT[2]->setText(amountText(TXT[0]->text(), TXT[1]->text())); });
    }
    connect(TXT[2], &QLineEdit::textChanged, this,
            [this](const QString &text) { TXT[3]->setText(text); });

    // 保存并继续 stores the record and keeps the dialog for the next line of
    // the same customer or vendor.
    m_saveAndContinue = new QPushButton(QStringLiteral("保存并继续"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Com[0]);
    buttons->addWidget(m_saveAndContinue);
    buttons->addWidget(Com[1]);
    layout->addLayout(buttons, row, 0, 1, 4);
    connect(Com[0], &QPushButton::clicked, this, &TradeDialog::confirm);
    connect(m_saveAndContinue, &QPushButton::clicked, this, &TradeDialog::saveAndContinue);
    connect(Com[1], &QPushButton::clicked, this, &QWidget::close);

    // Tab walks the dialog as it reads; Enter in any box (the memo last)
    // saves, Esc cancels.
    ui::prepareDialog(this, Com[0], Com[1]);
}

void TradeDialog::SetRight()
{
    for (int i = 0; i < 4; ++i)
        Com[i + 2]->setEnabled(HasRight(store::CurrentRights, m_texts.addRights.value(i)));
}

QString TradeDialog::chosen(int index) const
{
    const QComboBox *combo = CMB.value(index);
    return combo ? ui::ComboFinder::chosenText(combo) : QString();
}

TradeEntry TradeDialog::entry() const
{
    TradeEntry e;
    e.number = m_idBox->text();
    for (int i = 0; i < CMB.size(); ++i)
        e.lists << chosen(i);
    for (const QLineEdit *edit : TXT)
        e.boxes << edit->text();
    const QDate day = DTP->date();
    e.date = m_loadedDate.isValid() && m_loadedDate.date() == day ? m_loadedDate
                                                                  : QDateTime(day, QTime(0, 0));
    return e;
}

void TradeDialog::openEmpty()
{
    DTP->setDate(QDate::currentDate());
    for (int i = 0; i < 4; ++i) {
        ui::FillIdNameCombo(CMB[i], m_table.listTables.at(i), QStringLiteral("Name"));
        m_finders[i]->refresh();
    }
}

void TradeDialog::loadRecord(int id)
{
    if (id < 1)
        return;
    StoredTrade trade;
    if (loadTrade(m_table, id, trade)) {
        for (int i = 0; i < 4; ++i) {
            QComboBox *combo = CMB[i];
            for (int k = 0; k < combo->count(); ++k) {
                if (store::leadingNumber(combo->itemText(k)) == double(trade.refs.value(i))) {
                    combo->setCurrentIndex(k);
                    break;
                }
            }
        }
        refreshHints();
        // Price, quantity, amount, paid amount, memo in this order, so the
        // amount chain ends with the stored values in every box.
        for (int i = 0; i < 5; ++i)
            TXT[i]->setText(trade.boxes.value(i));
        m_loadedDate = trade.date;
        if (trade.date.isValid())
            DTP->setDate(trade.date.date());
    }
    m_idBox->setText(orderNumberText(id));
}

bool TradeDialog::saveRecord()
{
    if (!m_session.checkBeforeSaving())
        return false;
    const int stored = saveTrade(m_table, entry());
    if (stored == 0)
        return false;
    m_idBox->setText(orderNumberText(stored));
    ui::ShellHost *host = ui::shellHost();
    if (host && host->currentRecordTab() == m_texts.recordTab)
        host->ReloadCurrentList();
    return true;
}

bool TradeDialog::checkAndSave()
{
    // The dialog is modeless: the user may have opened another account set
    // meanwhile. Its products, partners and accounts of the same numbers are
    // other rows, so neither the record nor the choices may go there, and
    // the lists can never be stored now. After a logout or another login the
    // right that opened the dialog is gone.
    if (!m_session.checkBeforeSaving()) {
        close();
        return false;
    }
    // The choices are remembered even when the check below refuses them.
    for (int i = 0; i < 4; ++i)
        store::SetVar(kDefaultPrefix + m_table.listTables.at(i), chosen(i));
    for (int i = 0; i < 4; ++i) {
        if (chosen(i).isEmpty()) {
            store::prompts().message(m_texts.refusal);
            return false;
        }
    }
    // Stock below zero is how a mistyped quantity shows: the user says
    // whether it is meant.
    double stockNow = 0;
    if (m_table.table == saleTable().table && saleTakesStockBelowZero(entry(), stockNow)
        && !store::prompts().question(
                QStringLiteral("库存不足：当前库存 %1，仍要保存吗？").arg(plainNumber(stockNow))))
        return false;
    return saveRecord();
}

void TradeDialog::confirm()
{
    // Stay open when nothing could be stored, so the typed data is not lost.
    if (checkAndSave())
        close();
}

void TradeDialog::saveAndContinue()
{
    if (!checkAndSave())
        return;
    // The next line is a new record of the same date, partner, account and
    // salesman; the product and what was typed for it go.
    m_idBox->clear();
    m_loadedDate = QDateTime();
    CMB[0]->setCurrentIndex(-1);
    CMB[0]->setEditText(QString());
    // In chain order, so the amounts the chain fills in are cleared after.
    for (QLineEdit *edit : std::as_const(TXT))
        edit->clear();
    CMB[0]->setFocus(Qt::OtherFocusReason);
}

void TradeDialog::showStock()
{
    const int product = idFromText(chosen(0));
    m_stockLabel->setText(product == 0
                                  ? QString()
                                  : QStringLiteral("库存：") + plainNumber(currentStock(product)));
}

void TradeDialog::addMaster(int index)
{
    const QString &table = m_table.listTables.at(index);
    QComboBox *combo = CMB[index];
    QSet<qint64> known;
    for (int k = 0; k < combo->count(); ++k)
        known.insert(qint64(store::leadingNumber(combo->itemText(k))));
    const QString shown = chosen(index);

    const QString caption = openMasterDialog(table, parentWidget());
    if (caption.isEmpty())
        return;
    const QPointer<TradeDialog> self(this);
    ui::WaitFormClosed(caption);
    // The user may have closed this dialog while the other one was open.
    if (!self)
        return;
    ui::FillIdNameCombo(combo, table, QStringLiteral("Name"));
    m_finders[index]->refresh();
    // The refill selects the saved default; the list shows the record just
    // added instead, or else what it showed before. Either way the choice
    // step runs for it, so price, hints and tooltips belong to what shows.
    int select = combo->findText(shown);
    for (int k = 0; k < combo->count(); ++k) {
        if (!known.contains(qint64(store::leadingNumber(combo->itemText(k))))) {
            select = k;
            break;
        }
    }
    if (select >= 0)
        combo->setCurrentIndex(select);
    ListClick(index);
}

bool TradeDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (!CMB.contains(qobject_cast<QComboBox *>(watched)))
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        // The arrow keys would step to another entry unseen; Alt+Down (and
        // F4) open the drop-down to pick from. Typed text finds entries.
        const auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Down:
        case Qt::Key_Up:
        case Qt::Key_PageDown:
        case Qt::Key_PageUp:
            return !(key->modifiers() & Qt::AltModifier);
        default:
            return false;
        }
    }
    case QEvent::Wheel:
        // Scrolling over a closed list would pick another entry in passing.
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

QString openMasterDialog(const QString &table, QWidget *parent)
{
    if (table == QLatin1String("Pro")) {
        showProductDialog(0, true, parent);
        return kProductDialogCaption;
    }
    if (table == QLatin1String("Cus")) {
        showCustomerDialog(0, true, parent);
        return kCustomerDialogCaption;
    }
    if (table == QLatin1String("Vendor")) {
        showVendorDialog(0, parent);
        return kVendorDialogCaption;
    }
    if (table == QLatin1String("Acc")) {
        showAccountDialog(0, parent);
        return kAccountDialogCaption;
    }
    if (table == QLatin1String("Staff")) {
        ShowStaffDialog(0, parent);
        return QStringLiteral("员工设置");
    }
    return QString();
}

} // namespace records
