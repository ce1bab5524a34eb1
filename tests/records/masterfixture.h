#pragma once

// A fresh account set per test, a fake main window, SQL shortcuts and real
// mouse clicks on grid cells.

#include "bothengines.h"
#include "grid/grid.h"
#include "grid/gridview.h"
#include "store/access.h"
#include "store/accountsets.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"
#include "ui/shellhost.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <memory>
#include <utility>

namespace masterfixture {

// Records the calls, with the login state of the moment; onReload runs at
// each reload.
class FakeHost : public ui::ShellHost
{
public:
    int tab = 0;
    int reloads = 0;
    QStringList calls;
    std::function<void()> onReload;

    void SelectAccountSet(int index, bool relayout) override
    {
        calls << QStringLiteral("SelectAccountSet(%1,%2)")
                         .arg(index)
                         .arg(relayout ? "true" : "false");
        store::MakeAccountSetCurrent(index);
    }
    void UpdateMainCaption() override { calls << "UpdateMainCaption:" + store::CurrentUser; }
    void ApplyRights() override { calls << "ApplyRights:" + store::CurrentRights; }
    void SaveSettings() override { calls << QStringLiteral("SaveSettings"); }
    void ReloadCurrentList() override
    {
        ++reloads;
        calls << QStringLiteral("ReloadCurrentList");
        if (onReload)
            onReload();
    }
    int currentRecordTab() const override { return tab; }
    void ClearRecordGrids() override { calls << QStringLiteral("ClearRecordGrids"); }
    void ClearAnalysisGrids() override { calls << QStringLiteral("ClearAnalysisGrids"); }
    void ShowCurrentRecordTab() override { calls << QStringLiteral("ShowCurrentRecordTab"); }
    void ShowCurrentAnalysisTab() override { calls << QStringLiteral("ShowCurrentAnalysisTab"); }
};

// A fresh current set with nobody logged in, scripted prompts, the fake host.
struct Fixture
{
    std::unique_ptr<testsupport::TempProgramFolder> folder;
    std::unique_ptr<testsupport::ScriptedPrompts> prompts;
    FakeHost host;

    bool setUp()
    {
        folder = std::make_unique<testsupport::TempProgramFolder>();
        prompts = std::make_unique<testsupport::ScriptedPrompts>();
        if (!testsupport::makeNewCurrentSet())
            return false;
        host = FakeHost();
        ui::setShellHost(&host);
        return true;
    }

    // The messages shown so far, which then count as expected.
    QStringList takeMessages() { return std::exchange(prompts->messages, {}); }

    // Closes every window; true when no unexpected message was shown.
    bool tearDown()
    {
        testsupport::deleteAllWindows();
        ui::setShellHost(nullptr);
        const bool quiet = prompts->messages.isEmpty();
        if (!quiet)
            qWarning("unexpected messages: %s", qPrintable(prompts->messages.join(" / ")));
        prompts.reset();
        folder.reset();
        return quiet;
    }
};

using testsupport::column;
using testsupport::exec;

// Presses 确定 and waits until the window is gone.
template<typename Window>
void confirm(Window *window)
{
    QPointer<Window> guard(window);
    QTest::mouseClick(window->button(0), Qt::LeftButton);
    QTRY_VERIFY(guard.isNull());
}

// Types texts into boxes 0, 1, … of a dialog and confirms it.
template<typename Dialog>
void save(Dialog *dialog, const QStringList &texts = {})
{
    for (int i = 0; i < texts.size(); ++i)
        dialog->box(i)->setText(texts.at(i));
    confirm(dialog);
}

// text with %1, %2, … replaced by the values in turn.
template<typename... Values>
QString fill(QString text, const Values &...values)
{
    ((text = text.arg(values)), ...);
    return text;
}

inline int count(const QString &table, const QString &where = QString())
{
    store::RecordSet rs;
    store::OpenQuery(rs,
                     QStringLiteral("SELECT * FROM ") + table
                             + (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where));
    return rs.recordCount();
}

inline QVariant field(const QString &table, int id, const QString &name)
{
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT * FROM %1 WHERE ID=%2").arg(table).arg(id));
    return rs.eof() ? QVariant() : rs.value(name);
}

// Each row the query returns, its values joined by |.
inline QStringList queryRows(const QString &sql)
{
    store::RecordSet rs;
    store::OpenQuery(rs, sql);
    QStringList rows;
    for (; !rs.eof(); rs.moveNext()) {
        QStringList values;
        for (int c = 0; c < rs.fieldCount(); ++c)
            values << rs.value(c).toString();
        rows << values.join(QLatin1Char('|'));
    }
    return rows;
}

// Adds a row with the given name and returns its ID.
inline int addNamed(const QString &table, const QString &name)
{
    store::ExecSQL(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (Name) VALUES (")
                   + store::sqlText(name) + QLatin1Char(')'));
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT TOP 1 * FROM ") + table
                                 + QStringLiteral(" ORDER BY ID DESC"));
    return rs.value(QStringLiteral("ID")).toInt();
}

// The view of the grid that shows column col.
inline grid::GridView *viewOf(grid::Grid *g, int col)
{
    const auto views = g->findChildren<grid::GridView *>();
    for (grid::GridView *view : views)
        if (!view->horizontalHeader()->isSectionHidden(col))
            return view;
    return nullptr;
}

// A real mouse click on cell (row, col) of the grid.
inline void clickCell(grid::Grid *g, int row, int col, Qt::KeyboardModifiers modifiers = {})
{
    grid::GridView *view = viewOf(g, col);
    QVERIFY(view);
    const QModelIndex index = view->model()->index(row - g->fixedRows(), col);
    view->scrollTo(index);
    const QRect rect = view->visualRect(index);
    QVERIFY(!rect.isEmpty());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, rect.center());
}

// The first data row whose column col ends with text, -1 when none.
inline int rowEndingWith(const grid::Grid *g, int col, const QString &text)
{
    for (int r = g->fixedRows(); r < g->rows(); ++r)
        if (g->textMatrix(r, col).endsWith(text))
            return r;
    return -1;
}

} // namespace masterfixture
