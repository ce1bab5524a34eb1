#include "progress.h"

#include "store/formatting.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cmath>

namespace ui {

// The bar (Pic): white ground, pure blue from the left edge to
// current / total of the width, full height.
class ProgressBarWidget : public QWidget
{
public:
    explicit ProgressBarWidget(QWidget *parent)
        : QWidget(parent)
    {
        setObjectName(QStringLiteral("Pic"));
        setFixedHeight(20);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    // Stores the position; repaints only when the blue part changes width.
    void setPosition(qint64 current, int total)
    {
        const int before = blueWidth();
        m_current = current;
        m_total = total;
        if (blueWidth() != before)
            update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        const int blue = blueWidth();
        if (blue > 0)
            painter.fillRect(QRect(0, 0, blue, height()), QColor(0, 0, 255));
    }

private:
    int blueWidth() const
    {
        if (m_total == 0 || m_current <= 0)
            return 0;
        const qint64 w = m_current * width() / m_total;
        return int(std::clamp<qint64>(w, 0, width()));
    }

    qint64 m_current = 0;
    int m_total = 1;
};

namespace {

struct ProgressState
{
    QString caption;
    int total = 1;
    int current = 0;
    QElapsedTimer started;
    QElapsedTimer lastPump;
    qint64 shownPermille = 0; // the percentage the window shows, in thousandths
    QPointer<Indicator> window;
};

constexpr qint64 kPumpIntervalMs = 40;

ProgressState &state()
{
    static ProgressState s;
    return s;
}

// Progress is shown only in a widget application; elsewhere the counters
// still run.
bool canShowWindows()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

void pumpEvents()
{
    QCoreApplication::processEvents();
    state().lastPump.start();
}

// Fraction done in thousandths, cut towards minus infinity.
qint64 permille(qint64 done, int total)
{
    const qint64 t = total < 1 ? 1 : total;
    const qint64 scaled = done * 1000;
    qint64 q = scaled / t;
    if (scaled % t != 0 && scaled < 0)
        --q;
    return q;
}

} // namespace

// Lets the progress functions reach the window's labels.
struct ProgressAccess
{
    static QLabel *caption(Indicator *w) { return w->m_caption; }
    static QLabel *percent(Indicator *w) { return w->m_percent; }
    static QLabel *count(Indicator *w) { return w->m_count; }
    static QLabel *times(Indicator *w) { return w->m_times; }
    static ProgressBarWidget *bar(Indicator *w) { return w->m_bar; }
};

Indicator::Indicator(QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("Indicator"));
    setWindowTitle(QStringLiteral("Korvo进度指示器"));
    setWindowModality(Qt::NonModal);

    m_caption = new QLabel(QStringLiteral("进度条指示器"), this);
    m_caption->setObjectName(QStringLiteral("Lbl"));
    m_bar = new ProgressBarWidget(this);
    m_percent = new QLabel(QStringLiteral("0%"), this);
    m_percent->setObjectName(QStringLiteral("Percent"));
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("L1"));
    m_times = new QLabel(this);
    m_times->setObjectName(QStringLiteral("L2"));
    m_times->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto *figures = new QHBoxLayout;
    figures->addWidget(m_percent);
    figures->addStretch(1);
    figures->addWidget(m_count);
    figures->addStretch(1);
    figures->addWidget(m_times);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_caption);
    layout->addWidget(m_bar);
    layout->addLayout(figures);
    setFixedSize(380, 110);
}

QString Indicator::captionText() const
{
    return m_caption->text();
}

QString Indicator::percentText() const
{
    return m_percent->text();
}

QString Indicator::countText() const
{
    return m_count->text();
}

QString Indicator::timesText() const
{
    return m_times->text();
}

QWidget *Indicator::bar() const
{
    return m_bar;
}

void Indicator::closeEvent(QCloseEvent *event)
{
    event->ignore();
}

QString progressPercentText(qint64 done, int total)
{
    const qint64 p = permille(done, total);
    const qint64 whole = p / 10;
    const qint64 tenth = std::llabs(p % 10);
    QString text = (p < 0 && whole == 0) ? QStringLiteral("-0") : QString::number(whole);
    if (tenth != 0)
        text += QLatin1Char('.') + QString::number(tenth);
    return text + QLatin1Char('%');
}

QString progressTimesText(qint64 elapsedSeconds, qint64 done, int total)
{
    const qint64 p = permille(done, total);
    if (p < 1)
        return QString();
    const qint64 estimated = std::llround(double(elapsedSeconds) * 1000.0 / double(p));
    return store::FormatSeconds(elapsedSeconds) + QLatin1Char('/')
           + store::FormatSeconds(estimated - elapsedSeconds) + QLatin1Char('/')
           + store::FormatSeconds(estimated);
}

void ProgressStart(const QString &caption, int total, int &current)
{
    ProgressState &s = state();
    s.caption = caption;
    s.total = total < 1 ? 1 : total;
    if (current < 0)
        current = s.current;
    s.current = current;

    if (canShowWindows()) {
        if (!s.window) {
            QWidget *owner = QApplication::activeWindow();
            s.window = new Indicator(owner);
        }
        Indicator *w = s.window;
        ProgressAccess::caption(w)->setText(caption);
        s.shownPermille = permille(s.current, s.total);
        ProgressAccess::percent(w)->setText(progressPercentText(s.current, s.total));
        ProgressAccess::bar(w)->setPosition(0, s.total);
        ProgressAccess::bar(w)->setPosition(s.current, s.total);
        w->show();
    }
    s.started.start();
    pumpEvents();
}

void ProgressStart(const QString &caption, int total)
{
    int current = 0;
    ProgressStart(caption, total, current);
}

void ProgressStep(int step, const QString &mode)
{
    ProgressState &s = state();
    if (s.total < 1)
        s.total = 1;
    const qint64 done = qint64(s.current) + step;
    s.current = int(std::clamp<qint64>(done, INT_MIN, INT_MAX));

    Indicator *w = s.window;
    if (!w)
        return;

    const bool pages = mode.compare(QLatin1String("pages"), Qt::CaseInsensitive) == 0;
    // The labels follow every change, but events (and with them painting)
    // run at most every 40 ms: nobody reads faster updates, and a load of a
    // hundred milliseconds would otherwise spend a tenth of its time painting
    // a hundred percentages.
    bool pump = !s.lastPump.isValid() || s.lastPump.elapsed() >= kPumpIntervalMs;
    bool changed = pump;
    if (!mode.isEmpty() && !pages && mode != s.caption) {
        s.caption = mode;
        ProgressAccess::caption(w)->setText(mode);
        changed = pump = true;
    }
    const qint64 p = permille(done, s.total);
    if (p != s.shownPermille) {
        s.shownPermille = p;
        ProgressAccess::percent(w)->setText(progressPercentText(done, s.total));
        changed = true;
    }
    ProgressAccess::bar(w)->setPosition(done, s.total);
    if (!changed)
        return;

    if (pages) {
        const QString times = progressTimesText(s.started.elapsed() / 1000, done, s.total);
        if (!times.isEmpty()) {
            ProgressAccess::times(w)->setText(times);
            ProgressAccess::count(w)->setText(QStringLiteral("(%1/%2)").arg(done).arg(s.total));
        }
    }
    if (pump)
        pumpEvents();
}

void ProgressDraw(int current)
{
    ProgressState &s = state();
    s.current = current;
    if (Indicator *w = s.window) {
        ProgressAccess::bar(w)->setPosition(current, s.total);
    }
    pumpEvents();
}

void ProgressClose()
{
    ProgressState &s = state();
    delete s.window.data();
    s.window = nullptr;
    pumpEvents();
}

Indicator *progressWindow()
{
    return state().window;
}

int progressCurrent()
{
    return state().current;
}

int progressTotal()
{
    return state().total;
}

} // namespace ui
