#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QComboBox;
class QListView;
class QStringListModel;

namespace ui {

// One entry of a list that can be found by typing.
struct FindEntry
{
    QString name;      // the name as the list shows it
    QString initials;  // pinyinInitials(name)
    QStringList codes; // values the shop keeps for it (codes, barcodes)
};

// An entry for name with its initials worked out.
FindEntry findEntry(const QString &name, const QStringList &codes = {});

// True when typed finds entry: its name contains the text, its initials
// start with it (both ignoring letter case), or one of its codes equals the
// text exactly. Blanks around typed are ignored; an empty text finds
// nothing.
bool entryMatches(const FindEntry &entry, const QString &typed);

// The positions of the entries typed finds, in list order.
QVector<int> findEntries(const QVector<FindEntry> &entries, const QString &typed);

// The positions of the entries with a code equal to typed (blanks around
// it ignored), in list order.
QVector<int> entriesWithCode(const QVector<FindEntry> &entries, const QString &typed);

// Lets the user find an entry of a combo box by typing. The box becomes
// editable; each keystroke lists the entries the text finds (see
// entryMatches) in a list under it, which the arrow keys walk and Esc
// closes; picking one there (click or Enter) selects it in the box. The
// typing stays in the box all along. Enter on a text that is the code of exactly one entry (a
// barcode scanner types the code and Enter) selects that entry and sends
// scanned(); a code of several entries lists them and selects nothing.
//
// The entries are read from the box when refresh() is called (after the
// box was filled), so the initials are worked out once per filling, not per
// keystroke.
class ComboFinder : public QObject
{
    Q_OBJECT

public:
    // How the box's entries read.
    enum class Entries {
        IdName, // "00012|钢管": the ID and the name
        Name,   // the name, with the row's ID as item data
    };
    // The codes by row ID, read at each refresh.
    using CodeSource = std::function<QHash<qint64, QStringList>()>;

    // keepTyped: the typed text is itself a value (a filter's text), so it
    // stays when the user leaves the box; otherwise leaving restores the
    // chosen entry's text and Enter never passes a text that is no entry.
    ComboFinder(QComboBox *combo, Entries entries, bool keepTyped, CodeSource codes = {});

    // Reads the box's entries and their codes afresh.
    void refresh();

    // The entries the list under the box holds now, as the box shows them
    // (also while the list is closed).
    QStringList shownEntries() const;

    // The entry the box shows, or an empty text when what it shows (typed
    // text, say) is none of its entries.
    static QString chosenText(const QComboBox *combo);

signals:
    // An entry was selected by typing; the box's activated signal has been
    // sent as for a pick from its own list.
    void picked(int index);
    // A typed code and Enter selected its one entry.
    void scanned();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showMatches(const QString &typed);
    void showList(const QVector<int> &indices);
    void hideList();
    bool listIsOpen() const;
    bool enterTyped();
    bool walkList(int key);
    void pick(int index);

    QComboBox *m_combo;
    Entries m_entries;
    bool m_keepTyped;
    CodeSource m_codes;
    QVector<FindEntry> m_index;
    QVector<int> m_shown; // combo indices of the listed entries
    QStringListModel *m_model;
    // A window of its own, so it may reach below the dialog; it never takes
    // the focus from the box. Guarded: whoever closes every window may
    // delete it first.
    QPointer<QListView> m_list;
};

} // namespace ui
