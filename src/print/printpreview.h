#pragma once

#include "pagecomposer.h"
#include "pagelayout.h"
#include "printers.h"

#include "grid/grid.h"
#include "store/prompts.h"
#include "store/session.h"

#include <QImage>
#include <QPointer>
#include <QVector>
#include <QWidget>

#include <array>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace print {

inline const QString kPreviewCaption = QStringLiteral("打印预览");

// The sheet of paper in the preview: shows the page last drawn.
class PaperPicture : public QWidget
{
    Q_OBJECT

public:
    explicit PaperPicture(QWidget *parent = nullptr);
    const QImage &image() const { return m_image; }
    void setImage(const QImage &image);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};

// The window "打印预览": one page of a record grid at a time on a picture of
// the paper, with the paper size, margins, rows per page, report font,
// rotation, title and footer beside it, each remembered in the account set
// as soon as it changes. Prints the page shown, all pages or a page range.
// Modeless; deletes itself when closed.
class PrintPreview : public QWidget
{
    Q_OBJECT

public:
    explicit PrintPreview(grid::Grid *grid, QWidget *parent = nullptr);

    // Boxes 0 to 11 (see the labels), the title (0) and footer (1) boxes,
    // the buttons 0 "打印当前页" … 3 "字体设置", the rotation check box, the
    // page scroll bar and the size-test label.
    QLineEdit *box(int index) const { return TXT.at(index); }
    QLineEdit *headerBox(int index) const { return TXT1.at(index); }
    QPushButton *button(int index) const { return Com.at(index); }
    QCheckBox *rotation() const { return CHK; }
    QScrollBar *pageBar() const { return HScroll; }
    QLabel *sizeTestLabel() const { return LblTest; }
    PaperPicture *picture() const { return Pic; }
    QFrame *settingsFrame() const { return SettingsFrame; }
    QFrame *paperFrame() const { return PaperFrame; }

    grid::Grid *grid() const { return m_grid; }

    // The settings in force: the boxes' values where they convert, else the
    // last good (or initial) ones; rows per page 0 when box 10 holds no
    // number.
    Paper paper() const;
    int rowsPerPage() const;
    int pageCount() const { return m_pages; }
    int currentPage() const;
    const store::FontChoice &reportFont() const { return m_font; }
    // The page shown, as laid out on the picture.
    const PageDrawing &shownPage() const { return m_shown; }
    // The job the print buttons hand to the printer.
    ReportJob reportJob() const;

    // Recomputes the page count and shows page 1.
    void CalHScroll();
    // Draws the page of the scroll bar on the picture.
    void DrawOnePaper();
    // Sizes and centres the picture in the paper's proportions.
    void SetPaperPic();
    // Chooses a printer and prints pages first to last (either order).
    void PrintBatch(int first, int last);
    // The four buttons.
    void printCurrentPage();
    void printAll();
    void printRange();
    void chooseFont();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWidgets();
    void loadSettings();
    void placeWidgets();
    void boxChanged(int index);
    void applyFont(const store::FontChoice &font);
    void printPages(const QString &printer, const QVector<int> &pages);
    double boxNumber(int index) const;

    QPointer<grid::Grid> m_grid;
    store::SessionStamp m_stamp;
    QString m_reportTitle;
    QString m_subtitle; // an analysis's second title line
    store::FontChoice m_font;
    std::array<double, 11> m_good{};
    int m_pages = 0;
    bool m_loading = true;
    bool m_printing = false;
    PageDrawing m_shown;

    QVector<QLineEdit *> TXT;  // 0 … 11
    QVector<QLineEdit *> TXT1; // title, footer
    QVector<QPushButton *> Com;
    QCheckBox *CHK = nullptr;
    QScrollBar *HScroll = nullptr;
    QLabel *LblTest = nullptr;
    QFrame *SettingsFrame = nullptr;
    QFrame *PaperFrame = nullptr;
    PaperPicture *Pic = nullptr;
    QVector<QLabel *> m_headerLabels;
};

// Opens the preview of grid (a preview already open closes first, keeping
// its title and footer).
PrintPreview *ShowPrintPreview(grid::Grid &grid, QWidget *parent = nullptr);

} // namespace print
