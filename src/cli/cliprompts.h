#pragma once

#include "store/prompts.h"

#include <QStringList>

namespace cli {

// The tool's prompts: nothing waits for a person. Messages go to standard
// error; a file dialog returns the file named on the command line; the only
// question answered Yes is whether to overwrite that file, because the user
// named it.
class CliPrompts : public store::Prompts
{
public:
    CliPrompts();
    ~CliPrompts() override;

    void message(const QString &text) override;
    bool question(const QString &text) override;
    QString openFileName(const QString &caption, const QString &filter,
                         const QString &folder) override;
    QString saveFileName(const QString &caption, const QString &filter,
                         const QString &suggestedPath) override;
    bool chooseFont(store::FontChoice &font) override;
    // Read from the terminal without showing it.
    QString password(const QString &text) override;

    // The file every file dialog returns.
    QString fileName;
    // Every message shown, in order.
    QStringList messages;
};

// Reads a line from the terminal without showing it (standard input when
// there is no terminal).
QString readHiddenLine(const QString &prompt);
// Writes a line to standard error as UTF-8.
void printError(const QString &text);
// Writes text to standard output as UTF-8.
void printOut(const QString &text);

} // namespace cli
