#pragma once

// What the master-list tests share: a fresh account set per test, a fake
// main window that counts list reloads, and small SQL shortcuts.

#include "store/access.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "testsupport.h"
#include "ui/shellhost.h"

#include <QApplication>
#include <QPointer>
#include <QtTest>

#include <memory>

namespace masterfixture {

// Counts the reloads of the visible list that the dialogs ask for.
class FakeHost : public ui::ShellHost
{
public:
    int tab = 0;
    int reloads = 0;

    void SelectAccountSet(int, bool) override {}
    void UpdateMainCaption() override {}
    void ApplyRights() override {}
    void SaveSettings() override {}
    void ReloadCurrentList() override { ++reloads; }
    int currentRecordTab() const override { return tab; }
    void ClearRecordGrids() override {}
    void ClearAnalysisGrids() override {}
    void ShowCurrentRecordTab() override {}
    void ShowCurrentAnalysisTab() override {}
};

// A fresh account set made current, scripted prompts and the fake host.
struct Fixture
{
    std::unique_ptr<testsupport::TempProgramFolder> folder;
    std::unique_ptr<testsupport::ScriptedPrompts> prompts;
    FakeHost host;

    bool setUp()
    {
        folder = std::make_unique<testsupport::TempProgramFolder>();
        prompts = std::make_unique<testsupport::ScriptedPrompts>();
        QString error;
        if (!store::BuildTemplate(store::programFilePath(QStringLiteral("DATA00001.qdt")),
                                  &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        store::CurrentAccountFile = QStringLiteral("DATA00001.qdt");
        host = FakeHost();
        ui::setShellHost(&host);
        return true;
    }

    // Closes every window; true when no database failure was reported.
    bool tearDown()
    {
        // Deleting a window also deletes the pop-ups it owns (a combo box's
        // list is a window of its own), so hold them all by guarded pointers.
        QList<QPointer<QWidget>> windows;
        for (QWidget *w : QApplication::topLevelWidgets())
            windows << w;
        for (const QPointer<QWidget> &w : std::as_const(windows))
            delete w.data();
        ui::setShellHost(nullptr);
        const bool quiet = prompts->messages.isEmpty();
        if (!quiet)
            qWarning("unexpected messages: %s", qPrintable(prompts->messages.join(" / ")));
        prompts.reset();
        folder.reset();
        return quiet;
    }
};

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
    store::OpenQuery(rs, QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE ID=")
                                 + QString::number(id));
    return rs.eof() ? QVariant() : rs.value(name);
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

// Adds a sale or purchase (table Sale or Pur) pointing to the given masters;
// party is the customer (sales) or vendor (purchases).
inline void addTrade(const QString &table, int product, int party, int account)
{
    const QString partyField
            = table == QLatin1String("Sale") ? QStringLiteral("CID") : QStringLiteral("VID");
    store::ExecSQL(QStringLiteral("INSERT INTO %1 (Dat, PID, %2, AID, SID, Price, Num, Pay, Pay1) "
                                  "VALUES (#2024-03-05#, %3, %4, %5, 1, 2, 3, 6, 6)")
                           .arg(table, partyField)
                           .arg(product)
                           .arg(party)
                           .arg(account));
}

} // namespace masterfixture
