#pragma once

#include "deliverynote.h"
#include "printers.h"

#include "store/session.h"

#include <QWidget>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollBar;

namespace print {

class PaperPicture;

// The page job of a delivery note on paper: the note's own page split, in
// the report font's face.
PageJob deliveryNoteJob(const DeliveryNote &note, const Paper &paper);

// The pages a note takes on paper.
int deliveryNotePageCount(const DeliveryNote &note, const Paper &paper);

// The window "销售单预览" (or "采购单预览"): one page of a delivery note at a
// time on a picture of the paper, the paper (A4 or A5, remembered in the
// account set) and the page to show, and the buttons 0 "打印当前页", 1
// "全部打印" (through the printer chooser, the PDF printer included) and 2
// "关闭". Modeless; deletes itself when closed.
class DeliveryNotePreview : public QWidget
{
    Q_OBJECT

public:
    explicit DeliveryNotePreview(const DeliveryNote &note, QWidget *parent = nullptr);

    QComboBox *paperBox() const { return m_paperBox; }
    QScrollBar *pageBar() const { return m_pageBar; }
    QPushButton *button(int index) const { return m_buttons.value(index); }
    PaperPicture *picture() const { return m_picture; }
    const DeliveryNote &note() const { return m_note; }
    Paper paper() const;
    int pageCount() const { return m_pages; }

    // Draws the page of the scroll bar on the picture.
    void drawPage();
    void printCurrentPage();
    void printAll();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paperChosen();
    void printPages(const QVector<int> &pages);

    DeliveryNote m_note;
    store::SessionStamp m_stamp;
    int m_pages = 1;
    QComboBox *m_paperBox = nullptr;
    QScrollBar *m_pageBar = nullptr;
    QLabel *m_pageLabel = nullptr;
    QVector<QPushButton *> m_buttons;
    QFrame *m_paperFrame = nullptr;
    PaperPicture *m_picture = nullptr;
};

// Opens the preview of a note over parent.
DeliveryNotePreview *ShowDeliveryNotePreview(const DeliveryNote &note, QWidget *parent = nullptr);

} // namespace print
