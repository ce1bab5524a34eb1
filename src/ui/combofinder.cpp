#include "combofinder.h"

#include "pinyin.h"

#include "store/formatting.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QStringListModel>

#include <algorithm>

namespace ui {

FindEntry findEntry(const QString &name, const QStringList &codes)
{
    return FindEntry{name, pinyinInitials(name), codes};
}

bool entryMatches(const FindEntry &entry, const QString &typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return false;
    return entry.name.contains(text, Qt::CaseInsensitive)
           || entry.initials.startsWith(text, Qt::CaseInsensitive) || entry.codes.contains(text);
}

QVector<int> findEntries(const QVector<FindEntry> &entries, const QString &typed)
{
    QVector<int> found;
    for (int i = 0; i < entries.size(); ++i) {
        if (entryMatches(entries.at(i), typed))
            found << i;
    }
    return found;
}

QVector<int> entriesWithCode(const QVector<FindEntry> &entries, const QString &typed)
{
    const QString text = typed.trimmed();
    QVector<int> found;
    if (text.isEmpty())
        return found;
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).codes.contains(text))
            found << i;
    }
    return found;
}

namespace {

constexpr int kListedRows = 15; // rows the list shows before it scrolls

} // namespace

ComboFinder::ComboFinder(QComboBox *combo, Entries entries, bool keepTyped, CodeSource codes)
    : QObject(combo)
    , m_combo(combo)
    , m_entries(entries)
    , m_keepTyped(keepTyped)
    , m_codes(std::move(codes))
    , m_model(new QStringListModel(this))
{
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // The box's own completion would pick entries by their first letters.
    combo->setCompleter(nullptr);
    m_list = new QListView(combo);
    m_list->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
    m_list->setAttribute(Qt::WA_ShowWithoutActivating);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setUniformItemSizes(true);
    m_list->setModel(m_model);
    connect(m_list, &QListView::clicked, this,
            [this](const QModelIndex &index) { pick(m_shown.value(index.row(), -1)); });
    connect(combo->lineEdit(), &QLineEdit::textEdited, this, &ComboFinder::showMatches);
    combo->installEventFilter(this);
}

void ComboFinder::refresh()
{
    const QHash<qint64, QStringList> codes = m_codes ? m_codes() : QHash<qint64, QStringList>();
    m_index.clear();
    m_index.reserve(m_combo->count());
    for (int k = 0; k < m_combo->count(); ++k) {
        const QString text = m_combo->itemText(k);
        if (m_entries == Entries::IdName) {
            const qint64 id = qint64(store::leadingNumber(text));
            m_index << findEntry(text.mid(text.indexOf(QLatin1Char('|')) + 1), codes.value(id));
        } else {
            m_index << findEntry(text, codes.value(m_combo->itemData(k).toLongLong()));
        }
    }
    m_shown.clear();
    m_model->setStringList({});
    hideList();
}

QStringList ComboFinder::shownEntries() const
{
    return m_model->stringList();
}

QString ComboFinder::chosenText(const QComboBox *combo)
{
    const int current = combo->currentIndex();
    if (current < 0 || combo->currentText() != combo->itemText(current))
        return QString();
    return combo->currentText();
}

void ComboFinder::showMatches(const QString &typed)
{
    // A box filled since the last look is read again first.
    if (m_index.size() != m_combo->count())
        refresh();
    showList(findEntries(m_index, typed));
}

void ComboFinder::showList(const QVector<int> &indices)
{
    m_shown = indices;
    QStringList texts;
    texts.reserve(indices.size());
    for (const int k : indices)
        texts << m_combo->itemText(k);
    m_model->setStringList(texts);
    if (texts.isEmpty() || !m_list || !m_combo->isVisible()) {
        hideList();
        return;
    }
    const int rowHeight = std::max(m_list->sizeHintForRow(0), 1);
    const int frame = 2 * m_list->frameWidth();
    const int width = std::max(m_combo->width(), std::min(m_list->sizeHintForColumn(0) + frame + 24,
                                                          3 * m_combo->width()));
    m_list->resize(width, std::min(int(texts.size()), kListedRows) * rowHeight + frame);
    m_list->move(m_combo->mapToGlobal(QPoint(0, m_combo->height())));
    m_list->setCurrentIndex(QModelIndex());
    m_list->show();
}

void ComboFinder::hideList()
{
    if (m_list)
        m_list->hide();
}

bool ComboFinder::listIsOpen() const
{
    return m_list && m_list->isVisible();
}

bool ComboFinder::enterTyped()
{
    if (!chosenText(m_combo).isEmpty())
        return false;
    if (m_index.size() != m_combo->count())
        refresh();
    const QString typed = m_combo->currentText();
    const QVector<int> coded = entriesWithCode(m_index, typed);
    if (coded.size() == 1) {
        pick(coded.first());
        emit scanned();
        return true;
    }
    if (m_keepTyped) {
        hideList();
        return false;
    }
    if (coded.isEmpty()) {
        showMatches(typed);
        // The one entry the text finds is as good as picked.
        if (m_shown.size() == 1)
            pick(m_shown.first());
        return true;
    }
    // A code of several entries: they are listed, none is chosen, and the
    // code stays in the box.
    m_combo->setCurrentIndex(-1);
    m_combo->setEditText(typed);
    showList(coded);
    return true;
}

bool ComboFinder::walkList(int key)
{
    const int rows = m_model->rowCount();
    const int current = m_list->currentIndex().isValid() ? m_list->currentIndex().row() : -1;
    int next = current;
    switch (key) {
    case Qt::Key_Down:
        next = current + 1;
        break;
    case Qt::Key_Up:
        next = current < 0 ? rows - 1 : current - 1;
        break;
    case Qt::Key_PageDown:
        next = current + kListedRows;
        break;
    case Qt::Key_PageUp:
        next = current - kListedRows;
        break;
    default:
        return false;
    }
    next = std::clamp(next, 0, rows - 1);
    m_list->setCurrentIndex(m_model->index(next));
    return true;
}

void ComboFinder::pick(int index)
{
    if (index < 0 || index >= m_combo->count())
        return;
    hideList();
    m_combo->setCurrentIndex(index);
    // The same as a pick from the box's own list, so the dialog's choice
    // step runs.
    emit m_combo->activated(index);
    emit picked(index);
}

bool ComboFinder::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_combo)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool open = listIsOpen();
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (open && m_list->currentIndex().isValid()) {
                pick(m_shown.value(m_list->currentIndex().row(), -1));
                return true;
            }
            return enterTyped();
        }
        if (!open || (key->modifiers() & Qt::AltModifier))
            break;
        if (key->key() == Qt::Key_Escape) {
            hideList();
            return true;
        }
        if (walkList(key->key()))
            return true;
        break;
    }
    case QEvent::FocusOut:
        if (static_cast<QFocusEvent *>(event)->reason() == Qt::PopupFocusReason)
            break;
        hideList();
        // Leaving the box with a text that is no entry shows the choice
        // again (none when nothing is chosen), so what shows is what counts.
        if (!m_keepTyped && chosenText(m_combo).isEmpty()) {
            const int current = m_combo->currentIndex();
            m_combo->setEditText(current < 0 ? QString() : m_combo->itemText(current));
        }
        break;
    case QEvent::Hide:
        hideList();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace ui
