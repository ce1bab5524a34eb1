#include "dialogkeys.h"

#include <QAbstractSpinBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace ui {

namespace {

bool takesTabFocus(const QWidget *widget)
{
    return (widget->focusPolicy() & Qt::TabFocus) != 0;
}

// Widgets of layout in reading order: grid and form layouts by row, then
// column; box layouts in the order they were added.
void collectControls(QLayout *layout, QList<QWidget *> &controls)
{
    struct Placed
    {
        int row;
        int column;
        QLayoutItem *item;
    };
    QVector<Placed> items;
    auto *grid = qobject_cast<QGridLayout *>(layout);
    auto *form = qobject_cast<QFormLayout *>(layout);
    for (int i = 0; i < layout->count(); ++i) {
        int row = 0;
        int column = i;
        if (grid) {
            int rowSpan = 0;
            int columnSpan = 0;
            grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        } else if (form) {
            QFormLayout::ItemRole role = QFormLayout::LabelRole;
            form->getItemPosition(i, &row, &role);
            column = int(role);
        }
        items.append({row, column, layout->itemAt(i)});
    }
    std::stable_sort(items.begin(), items.end(), [](const Placed &a, const Placed &b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    for (const Placed &placed : std::as_const(items)) {
        if (QLayout *inner = placed.item->layout()) {
            collectControls(inner, controls);
            continue;
        }
        QWidget *widget = placed.item->widget();
        if (!widget || widget->isWindow())
            continue;
        if (takesTabFocus(widget))
            controls << widget;
        // A container (a frame or a group with its own layout) is walked
        // where it sits.
        if (widget->layout())
            collectControls(widget->layout(), controls);
    }
}

bool takesTyping(const QWidget *widget, const QWidget *form)
{
    if (!widget->isEnabled() || !widget->isVisibleTo(form) || !takesTabFocus(widget))
        return false;
    if (qobject_cast<const QAbstractButton *>(widget))
        return false;
    if (const auto *edit = qobject_cast<const QLineEdit *>(widget))
        return !edit->isReadOnly();
    if (const auto *spin = qobject_cast<const QAbstractSpinBox *>(widget))
        return !spin->isReadOnly();
    return true;
}

// Watches one dialog for its first showing and for Enter and Esc.
class DialogKeys : public QObject
{
public:
    DialogKeys(QWidget *dialog, QPushButton *ok, QPushButton *cancel)
        : QObject(dialog)
        , m_dialog(dialog)
        , m_ok(ok)
        , m_cancel(cancel)
    {
        dialog->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_dialog)
            return false;
        if (event->type() == QEvent::Show && !m_shown) {
            m_shown = true;
            firstShow();
        } else if (event->type() == QEvent::KeyPress) {
            return keyPressed(static_cast<QKeyEvent *>(event));
        }
        return false;
    }

private:
    void firstShow()
    {
        orderTabsAsLaidOut(m_dialog);
        // A focus set before showing (the password box of a login whose name
        // is known, for example) is kept.
        QWidget *focus = m_dialog->focusWidget();
        if (!focus || !takesTyping(focus, m_dialog)) {
            if (QWidget *first = firstInput(m_dialog))
                first->setFocus(Qt::TabFocusReason);
        }
        centreOn(m_dialog, m_dialog->parentWidget());
    }

    bool keyPressed(QKeyEvent *key)
    {
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (modifiers != Qt::NoModifier)
            return false;
        if (key->key() == Qt::Key_Escape) {
            if (m_cancel)
                m_cancel->click();
            else
                m_dialog->close();
            return true;
        }
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        // Enter on a button presses that button, as it does in any dialog.
        auto *focused = qobject_cast<QPushButton *>(m_dialog->focusWidget());
        QPushButton *target = focused ? focused : m_ok.data();
        if (target && target->isEnabled() && target->isVisible())
            target->click();
        return true;
    }

    QWidget *m_dialog;
    QPointer<QPushButton> m_ok;
    QPointer<QPushButton> m_cancel;
    bool m_shown = false;
};

} // namespace

QList<QWidget *> controlsInLayoutOrder(QWidget *form)
{
    QList<QWidget *> controls;
    if (form && form->layout())
        collectControls(form->layout(), controls);
    return controls;
}

void orderTabsAsLaidOut(QWidget *form)
{
    const QList<QWidget *> controls = controlsInLayoutOrder(form);
    for (int i = 1; i < controls.size(); ++i)
        QWidget::setTabOrder(controls.at(i - 1), controls.at(i));
}

QWidget *firstInput(QWidget *form)
{
    const QList<QWidget *> controls = controlsInLayoutOrder(form);
    for (QWidget *control : controls) {
        if (takesTyping(control, form))
            return control;
    }
    return nullptr;
}

void centreOn(QWidget *window, const QWidget *anchor)
{
    const QWidget *over = anchor ? anchor->window() : nullptr;
    QRect area;
    if (over && over->isVisible())
        area = over->frameGeometry();
    const QScreen *screen = over && over->screen() ? over->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    if (area.isEmpty())
        area = available;
    if (area.isEmpty())
        return;
    const QSize size = window->frameGeometry().size();
    QPoint topLeft = area.center() - QPoint(size.width() / 2, size.height() / 2);
    // Keep the title bar on the screen.
    if (!available.isEmpty()) {
        topLeft.setX(std::clamp(topLeft.x(), available.left(),
                                std::max(available.left(), available.right() - size.width())));
        topLeft.setY(std::clamp(topLeft.y(), available.top(),
                                std::max(available.top(), available.bottom() - size.height())));
    }
    window->move(topLeft);
}

void prepareDialog(QWidget *dialog, QPushButton *ok, QPushButton *cancel)
{
    if (ok)
        ok->setDefault(true);
    new DialogKeys(dialog, ok, cancel);
}

} // namespace ui
