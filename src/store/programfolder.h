#pragma once

#include <QString>

namespace store {

inline constexpr char kTemplateFileName[] = "DATA_NULL.DAT";

// The folder of the executable unless set otherwise (tests point it at a
// temporary folder). Account sets, the template and the lock file live here.
QString programFolder();
void setProgramFolder(const QString &folder);

// Full path of a bare file name in the program folder.
QString programFilePath(const QString &bareName);

} // namespace store
