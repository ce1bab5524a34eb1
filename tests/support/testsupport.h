#pragma once

#include "store/prompts.h"

#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

namespace testsupport {

// Records every prompt and answers from a plan, so no test blocks on a dialog.
class ScriptedPrompts : public store::Prompts
{
public:
    ScriptedPrompts() { store::setPrompts(this); }
    ~ScriptedPrompts() override { store::setPrompts(nullptr); }

    void message(const QString &text) override { messages << text; }
    bool question(const QString &text) override
    {
        questions << text;
        return next(answers);
    }
    QString openFileName(const QString &, const QString &, const QString &) override
    {
        return next(fileNames);
    }
    QString saveFileName(const QString &, const QString &, const QString &suggested) override
    {
        suggestedPaths << suggested;
        return next(fileNames);
    }
    bool chooseFont(store::FontChoice &font) override
    {
        if (fonts.isEmpty())
            return false;
        font = fonts.takeFirst();
        return true;
    }
    QString choosePrinter(const QStringList &offered, const QString &preselected) override
    {
        printerLists << offered;
        printerPreselections << preselected;
        return next(printers);
    }
    QString password(const QString &text) override
    {
        passwordRequests << text;
        return next(passwords);
    }

    // Planned answers, used in order; then questions are answered No and dialogs cancelled.
    QVector<bool> answers;
    QStringList fileNames;
    QVector<store::FontChoice> fonts;
    QStringList printers;  // printer names to choose; empty text cancels
    QStringList passwords; // passwords to type; empty text cancels

    // Everything shown, in order.
    QStringList messages;
    QStringList questions;
    QVector<QStringList> printerLists; // the lists the printer chooser offered
    QStringList printerPreselections;  // and the entry it opened on
    QStringList passwordRequests;
    QStringList suggestedPaths; // the paths the save dialogs proposed

private:
    template<typename T>
    static T next(QList<T> &plan)
    {
        return plan.isEmpty() ? T() : plan.takeFirst();
    }
};

// A fresh temporary program folder made current, with no set listed, nobody logged in and no
// connections; all of that is forgotten again when it goes.
class TempProgramFolder
{
public:
    TempProgramFolder();
    ~TempProgramFolder();
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// The bytes of a file, empty when it cannot be read.
QByteArray readFile(const QString &path);
// Writes bytes over a file (made when missing); true when all were written.
bool writeFile(const QString &path, const QByteArray &bytes = QByteArray());
// The first field of the query's first row on the database file at path; invalid when none.
QVariant valueIn(const QString &path, const QString &sql);

inline QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

// Runs one statement on the current set; a failure fails the test.
void exec(const QString &sql);
// Makes the current set refuse event ("INSERT", "UPDATE OF PID") on table, where when holds.
void refuseWrites(const QString &event, const QString &table, const QString &when = QString());
// The number of rows of a table in the current set.
qlonglong countRows(const QString &table);

// Deletes the windows without an owner: an owned pop-up deleted first crashes its owner.
void deleteAllWindows();

// Makes a new DATA00001.qdt from the template current (on the server in a server run).
bool makeNewCurrentSet();

// A temporary program folder made current, with scripted prompts.
struct FolderWithPrompts
{
    TempProgramFolder folder;
    ScriptedPrompts prompts;
};

// The same holding the new current set DATA00001.qdt, built from the template.
class FolderWithSet : public FolderWithPrompts
{
public:
    FolderWithSet();
};

// The texts of one grid column below its fixed rows.
template<typename Grid>
QStringList column(const Grid &grid, int col)
{
    QStringList texts;
    for (int r = grid.fixedRows(); r < grid.rows(); ++r)
        texts << grid.textMatrix(r, col);
    return texts;
}

} // namespace testsupport
