#pragma once

#include <QDate>
#include <QMap>
#include <QString>
#include <QStringList>

namespace cli {

// Exit codes of the tool.
enum ExitCode {
    kDone = 0,
    kUsage = 1,     // unknown command or option, bad value
    kRefused = 2,   // login or rights refused
    kDataError = 3, // a data or file error
};

// One invocation: the command, its positional words and its options.
struct Invocation
{
    QString command;
    QStringList words;              // positional arguments after the command
    QMap<QString, QString> options; // "--out" -> value; flags map to "1"
    bool help = false;
};

// Splits the arguments (without the program name). Options may stand
// anywhere; "--name value" and "--name=value" both work. False with a Chinese
// reason in *error for an option that is not known or lacks its value.
bool parseArguments(const QStringList &args, Invocation &out, QString *error);

// Checks the invocation against what its command accepts: the number of
// positional words and the options. False with a Chinese reason.
bool checkInvocation(const Invocation &inv, QString *error);

// A date typed on the command line: yyyy-MM-dd (also with . or / between the
// parts). An invalid date for anything else, 2024-02-30 included.
QDate parseDate(const QString &text);

// A row range "FIRST-LAST" of positive whole numbers. False when the text is
// not of that form.
bool parseRowRange(const QString &text, int &first, int &last);

// Help of the whole tool, or of one command (empty for an unknown one).
QString helpText();
QString commandHelp(const QString &command);

// The record lists the tool knows by their English word, with the record tab
// each one is on: sales 0, purchases 1, products 3, customers 4, vendors 5,
// accounts 6, staff 7. -1 for an unknown word.
int listTab(const QString &word);
QStringList listWords();

} // namespace cli
