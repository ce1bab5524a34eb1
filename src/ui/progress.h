#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace ui {

class ProgressBarWidget;

// The progress window: caption above a blue bar, the percentage, the count
// and the elapsed/remaining/total times. One window for the whole program,
// opened by ProgressStart and closed by ProgressClose.
class Indicator : public QWidget
{
    Q_OBJECT

public:
    explicit Indicator(QWidget *parent = nullptr);

    QString captionText() const;
    QString percentText() const;
    QString countText() const; // L1, "(n/total)" in pages mode
    QString timesText() const; // L2, elapsed/remaining/total

    // The bar widget (Pic); its pixmap shows the blue part.
    QWidget *bar() const;

protected:
    // The work that opened the window closes it; the user cannot.
    void closeEvent(QCloseEvent *event) override;

private:
    friend struct ProgressAccess;
    QLabel *m_caption = nullptr;
    ProgressBarWidget *m_bar = nullptr;
    QLabel *m_percent = nullptr;
    QLabel *m_count = nullptr;
    QLabel *m_times = nullptr;
};

// Opens (or reuses) the progress window with caption and total steps. When
// current is negative it is replaced by the current value kept from before;
// the bar is drawn at current, the start time is taken and the window shown.
void ProgressStart(const QString &caption, int total, int &current);
// The same, starting at 0.
void ProgressStart(const QString &caption, int total);

// Advances the current value by step. Mode "pages" (any case) also shows
// the count "(n/total)" and the times; any other non-empty mode becomes the
// caption. A total below 1 counts as 1.
//
// Long loops call this at every row, so it stays cheap: the labels are only
// touched when the percentage text or the caption changes, and the event
// loop runs at most every 40 ms (and at once for a new caption). So the
// window may lag behind the counter by those 40 ms at most.
void ProgressStep(int step, const QString &mode = QString());

// Sets the current value and draws the bar at it; runs the event loop once.
void ProgressDraw(int current);

// Closes the progress window (nothing happens when none is open).
void ProgressClose();

// The open progress window, or nullptr.
Indicator *progressWindow();
// The kept current value and total.
int progressCurrent();
int progressTotal();

// Percentage text of done out of total steps: the fraction cut (not
// rounded) to three decimals, times 100, e.g. 1 of 3 → "33.3%", 3 of 3 → "100%".
QString progressPercentText(qint64 done, int total);
// Times text "elapsed/remaining/total" for an elapsed time in whole seconds
// and the fraction done (cut to three decimals as above); empty when less
// than 0.001 is done, because then no estimate can be made.
QString progressTimesText(qint64 elapsedSeconds, qint64 done, int total);

} // namespace ui
