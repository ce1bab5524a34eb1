#pragma once

#include <QList>

class QPushButton;
class QWidget;

namespace ui {

// Makes a dialog window behave as a desktop user expects from the keyboard
// and on screen:
// - Tab walks its controls as they are laid out, row by row and left to
//   right (a nested layout is walked where it sits);
// - when it first shows, the first control that takes typing (not a
//   read-only or disabled one) has the focus, and the window is centred on
//   the window it belongs to;
// - ok is the default button: Enter presses it anywhere except on another
//   button, which Enter then presses instead; Esc presses cancel (or closes
//   the window when there is none).
// The tab order is set when the dialog first shows, so controls added after
// this call (built from definitions, for example) are walked too.
void prepareDialog(QWidget *dialog, QPushButton *ok, QPushButton *cancel);

// The controls of form that Tab visits, in the order they are laid out.
QList<QWidget *> controlsInLayoutOrder(QWidget *form);

// Chains the tab order of form's controls as they are laid out.
void orderTabsAsLaidOut(QWidget *form);

// The first control of form, as laid out, that takes typing; nullptr when
// there is none.
QWidget *firstInput(QWidget *form);

// Moves window so that it is centred on the window of anchor, or on its
// screen when there is no anchor (or it is not shown).
void centreOn(QWidget *window, const QWidget *anchor);

} // namespace ui
