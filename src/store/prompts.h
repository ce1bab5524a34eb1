#pragma once

#include <QString>
#include <QStringList>

namespace store {

// A font as the font dialog hands it back, without depending on QtGui.
struct FontChoice
{
    QString family;
    double pointSize = 9;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    unsigned color = 0; // RGB as 0xRRGGBB
};

// Every message box, question, file dialog and font dialog of the program
// goes through this seam. The program installs one that shows Qt dialogs;
// tests install a scripted one.
class Prompts
{
public:
    virtual ~Prompts() = default;
    // Plain OK box without a title.
    virtual void message(const QString &text) = 0;
    // Yes/No box without a title; true means Yes.
    virtual bool question(const QString &text) = 0;
    // File dialogs; an empty text means cancelled.
    virtual QString openFileName(const QString &caption, const QString &filter,
                                 const QString &folder)
            = 0;
    virtual QString saveFileName(const QString &caption, const QString &filter,
                                 const QString &suggestedPath)
            = 0;
    // Font dialog; false means cancelled, font unchanged.
    virtual bool chooseFont(FontChoice &font) = 0;
    // The printer chooser "选择": one of printers (device names), opened on
    // preselected. The chosen name; empty when cancelled. Without an
    // override the choice is cancelled.
    virtual QString choosePrinter(const QStringList &printers, const QString &preselected);
    // Asks for a password (typed without showing it); empty when
    // cancelled, which is also what happens without an override.
    virtual QString password(const QString &text);
};

// The installed prompts. Until one is installed, messages go to the log and
// every question is answered No, every dialog cancelled.
Prompts &prompts();
// Installs p (not owned); nullptr restores the logging default.
void setPrompts(Prompts *p);

} // namespace store
