#include "helpers.h"

#include "store/access.h"
#include "store/formatting.h"
#include "store/params.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QSignalBlocker>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <cmath>

namespace ui {

namespace {

QString fiveDigits(qlonglong id)
{
    const QString digits = QString::number(id < 0 ? -id : id).rightJustified(5, QLatin1Char('0'));
    return id < 0 ? QLatin1Char('-') + digits : digits;
}

// Empties the box and leaves nothing selected, also in an editable box.
void clearBox(QComboBox *combo)
{
    combo->clear();
    combo->setCurrentIndex(-1);
    if (combo->isEditable())
        combo->setEditText(QString());
}

QList<QWidget *> openWindows(const QString &caption)
{
    QList<QWidget *> found;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (w->isVisible() && w->windowTitle() == caption)
            found << w;
    }
    return found;
}

// Watches the windows that carry a caption and ends the loop once none is
// open. Every hide, close, title change or destruction of a watched window
// triggers a fresh look (queued, so the window has finished changing); a
// new window with the same caption is watched as well.
class CloseWatcher : public QObject
{
public:
    CloseWatcher(const QString &caption, QEventLoop *loop)
        : m_caption(caption)
        , m_loop(loop)
    {}

    ~CloseWatcher() override
    {
        for (const QPointer<QWidget> &w : std::as_const(m_watched)) {
            if (w)
                w->removeEventFilter(this);
        }
    }

    // Starts watching; false when no window with the caption is open.
    bool check()
    {
        m_checkQueued = false;
        const QList<QWidget *> windows = openWindows(m_caption);
        if (windows.isEmpty()) {
            m_loop->quit();
            return false;
        }
        for (QWidget *w : windows) {
            if (m_watched.contains(w))
                continue;
            m_watched << w;
            w->installEventFilter(this);
            connect(w, &QObject::destroyed, this, &CloseWatcher::queueCheck);
        }
        return true;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Hide:
        case QEvent::Close:
        case QEvent::WindowTitleChange:
        case QEvent::ParentChange:
            queueCheck();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void queueCheck()
    {
        if (m_checkQueued)
            return;
        m_checkQueued = true;
        QTimer::singleShot(0, this, [this] { check(); });
    }

    QString m_caption;
    QEventLoop *m_loop;
    QList<QPointer<QWidget>> m_watched;
    bool m_checkQueued = false;
};

} // namespace

int pixels(int twipsValue)
{
    return int(std::lround(double(twipsValue) / kTwipsPerPixel));
}

void FillIdNameCombo(QComboBox *combo, const QString &table, const QString &field)
{
    if (!combo)
        return;
    {
        const QSignalBlocker blocker(combo);
        clearBox(combo);
        store::RecordSet rs;
        store::OpenQuery(rs, QStringLiteral("SELECT ID,") + field + QStringLiteral(" FROM ") + table
                                     + QStringLiteral(" ORDER BY ") + field);
        QStringList entries;
        entries.reserve(rs.recordCount());
        for (int row = 0; row < rs.recordCount(); ++row) {
            entries << fiveDigits(rs.valueAt(row, 0).toLongLong()) + QLatin1Char('|')
                               + rs.valueAt(row, 1).toString();
        }
        combo->addItems(entries);
        combo->setCurrentIndex(-1);
        if (combo->isEditable())
            combo->setEditText(QString());
    }

    const double wanted = store::leadingNumber(store::GetVar(QStringLiteral("默认值_") + table));
    for (int i = 0; i < combo->count(); ++i) {
        if (store::leadingNumber(combo->itemText(i)) == wanted) {
            combo->setCurrentIndex(i);
            break;
        }
    }
}

void FillNameCombo(QComboBox *combo, const QString &table)
{
    if (!combo)
        return;
    const QSignalBlocker blocker(combo);
    clearBox(combo);
    if (!store::TableExists(table))
        return;
    combo->addItem(QString(), 0);
    combo->setCurrentIndex(0);
    store::RecordSet rs;
    store::OpenQuery(rs,
                     QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" ORDER BY Name"));
    const int nameColumn = rs.fieldIndex(QStringLiteral("Name"));
    const int idColumn = rs.fieldIndex(QStringLiteral("ID"));
    for (int row = 0; row < rs.recordCount(); ++row)
        combo->addItem(rs.valueAt(row, nameColumn).toString(), rs.valueAt(row, idColumn));
}

void FillComboDistinct(QComboBox *combo, const QString &table, const QString &field,
                       const QString &file)
{
    if (!combo)
        return;
    {
        const QSignalBlocker blocker(combo);
        clearBox(combo);
        store::RecordSet rs;
        store::OpenQuery(rs,
                         QStringLiteral("SELECT ") + field + QStringLiteral(" FROM ") + table
                                 + QStringLiteral(" GROUP BY ") + field
                                 + QStringLiteral(" ORDER BY ") + field,
                         file);
        QStringList values;
        values.reserve(rs.recordCount());
        for (int row = 0; row < rs.recordCount(); ++row) {
            const QVariant value = rs.valueAt(row, 0);
            // An empty field forms a group of its own; it is no choice.
            if (value.isValid() && !value.isNull())
                values << value.toString();
        }
        combo->addItems(values);
        combo->setCurrentIndex(-1);
        if (combo->isEditable())
            combo->setEditText(QString());
    }

    const int index = combo->findText(store::GetVar(QStringLiteral("默认值_") + table),
                                      Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        combo->setCurrentIndex(index);
}

bool FormIsOpen(const QString &caption)
{
    return !openWindows(caption).isEmpty();
}

void WaitFormClosed(const QString &caption)
{
    QEventLoop loop;
    CloseWatcher watcher(caption, &loop);
    if (!watcher.check())
        return;
    loop.exec();
}

void SetTopMost(QWidget *window)
{
    if (!window)
        return;
    window = window->window();
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        return;
    const bool visible = window->isVisible();
    const QRect geometry = window->geometry();
    // Changing the flags re-creates the native window and hides it.
    window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    window->setGeometry(geometry);
    if (visible)
        window->show();
}

bool ShellOpen(const QString &path)
{
    const QString trimmed = path.trimmed();
    if (trimmed.isEmpty())
        return false;
    QUrl url;
    if (QFileInfo::exists(trimmed))
        url = QUrl::fromLocalFile(QFileInfo(trimmed).absoluteFilePath());
    else
        url = QUrl::fromUserInput(trimmed, QDir::currentPath());
    if (!url.isValid())
        return false;
    return QDesktopServices::openUrl(url);
}

void YieldTimes(int n)
{
    for (int i = 0; i <= n; ++i)
        QCoreApplication::processEvents();
}

void CursorPosition(int &x, int &y, QWidget *mainWindow)
{
    QPoint pos = QCursor::pos();
    if (mainWindow)
        pos = mainWindow->mapFromGlobal(pos);
    x = twips(pos.x());
    y = twips(pos.y());
}

} // namespace ui
