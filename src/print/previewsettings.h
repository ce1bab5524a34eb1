#pragma once

#include "pagelayout.h"

#include "store/prompts.h"

#include <QString>

#include <optional>

namespace print {

// Boxes of the preview with a stored value: 0 paper width, 1 paper height,
// 2 to 5 the left, right, top and bottom margins (all in millimetres), 10
// the data rows per page.
inline constexpr int kRowsPerPageBox = 10;
inline constexpr int kFontSampleBox = 11;
// Initial values of boxes 0 to 5 and 10 (the others are not stored).
double initialBoxValue(int box);
// True for the boxes whose text is stored.
bool isStoredBox(int box);

// Keys of the settings: "打印预览_TXT" + box, "打印预览_CHK", the font's
// "打印预览_TXT11_" + 字号/粗体/斜体/字体/颜色/删除线/下划线, and a report's
// title (line 0) and footer (line 1) "表格打印信息_" + report title + "_" + line.
QString boxKey(int box);
inline const QString kRotateKey = QStringLiteral("打印预览_CHK");
QString headerKey(const QString &reportTitle, int line);

// The value of a box's text when it converts and makes sense for the box:
// paper sides from 1 to 5,000 mm, margins from 0 to 5,000 mm, rows per page
// a number from 0 to kMaxRowsPerPage (rounded to whole rows). Nothing for
// any other text, so that no such text is stored over a good one.
inline constexpr int kMaxRowsPerPage = 1000;
std::optional<double> boxValue(int box, const QString &text);

// Text forms of the stored font values. Booleans as "True"/"False" (read
// back also from "true", "false", "1", "0", "-1"); the colour as a decimal
// colour value with red in the low byte (255 is red, 16711680 blue).
QString boolText(bool value);
std::optional<bool> parseBool(const QString &text);
QString colorText(unsigned rgb);
std::optional<unsigned> parseColor(const QString &text);

// The report font stored for the preview; each value that is missing or
// does not convert keeps the one of initial. Sizes above 0 and up to 500
// points convert.
store::FontChoice LoadReportFont(const store::FontChoice &initial);
// Stores all seven values of the report font.
void StoreReportFont(const store::FontChoice &font);

// The rotation setting: the stored 0 or 1, else initial.
bool LoadRotation(bool initial);

// A report's title when none is stored: the current account set's company
// followed directly by the report title.
QString DefaultReportTitle(const QString &reportTitle);
// A report's footer when none is stored: the company's address, telephone,
// fax and web address from the account set's parameters.
QString DefaultReportFooter();

// The paper of delivery notes, remembered under "打印单据_纸张": "A4" (210 ×
// 297 mm, upright) or "A5" (210 × 148 mm, across), 10 mm margins. Any
// other stored text reads as A4.
inline const QString kNotePaperKey = QStringLiteral("打印单据_纸张");
QStringList notePaperNames();
Paper notePaper(const QString &name);
QString LoadNotePaperName();
void StoreNotePaperName(const QString &name);

} // namespace print
