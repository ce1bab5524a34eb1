#include "previewsettings.h"

#include "store/accountsets.h"
#include "store/params.h"
#include "store/session.h"

#include <cmath>

namespace print {

namespace {

QString fontKey(const QString &what)
{
    return QStringLiteral("打印预览_TXT11_") + what;
}

std::optional<double> number(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> within(const QString &text, double low, double high)
{
    const std::optional<double> value = number(text);
    if (!value || *value < low || *value > high)
        return std::nullopt;
    return value;
}

} // namespace

double initialBoxValue(int box)
{
    switch (box) {
    case 0:
        return 297;
    case 1:
        return 210;
    case 2:
    case 3:
    case 4:
    case 5:
        return 10;
    case kRowsPerPageBox:
        return 25;
    default:
        return 0;
    }
}

bool isStoredBox(int box)
{
    return (box >= 0 && box <= 5) || box == kRowsPerPageBox;
}

QString boxKey(int box)
{
    return QStringLiteral("打印预览_TXT") + QString::number(box);
}

QString headerKey(const QString &reportTitle, int line)
{
    return QStringLiteral("表格打印信息_") + reportTitle + QLatin1Char('_') + QString::number(line);
}

std::optional<double> boxValue(int box, const QString &text)
{
    switch (box) {
    case 0:
    case 1:
        return within(text, 1, 5000);
    case 2:
    case 3:
    case 4:
    case 5:
        return within(text, 0, 5000);
    case kRowsPerPageBox:
        if (const std::optional<double> rows = within(text, 0, kMaxRowsPerPage))
            return std::round(*rows);
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

QString boolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

std::optional<bool> parseBool(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("true") || t == QLatin1String("1") || t == QLatin1String("-1"))
        return true;
    if (t == QLatin1String("false") || t == QLatin1String("0"))
        return false;
    return std::nullopt;
}

QString colorText(unsigned rgb)
{
    const unsigned red = (rgb >> 16) & 0xFF;
    const unsigned green = (rgb >> 8) & 0xFF;
    const unsigned blue = rgb & 0xFF;
    return QString::number(red | (green << 8) | (blue << 16));
}

std::optional<unsigned> parseColor(const QString &text)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (!ok || value < 0 || value > 0xFFFFFF)
        return std::nullopt;
    const unsigned red = unsigned(value) & 0xFF;
    const unsigned green = (unsigned(value) >> 8) & 0xFF;
    const unsigned blue = (unsigned(value) >> 16) & 0xFF;
    return (red << 16) | (green << 8) | blue;
}

store::FontChoice LoadReportFont(const store::FontChoice &initial)
{
    store::FontChoice font = initial;
    if (const auto size = within(store::GetVar(fontKey(QStringLiteral("字号"))), 0, 500);
        size && *size > 0)
        font.pointSize = *size;
    if (const auto bold = parseBool(store::GetVar(fontKey(QStringLiteral("粗体")))))
        font.bold = *bold;
    if (const auto italic = parseBool(store::GetVar(fontKey(QStringLiteral("斜体")))))
        font.italic = *italic;
    const QString family = store::GetVar(fontKey(QStringLiteral("字体"))).trimmed();
    if (!family.isEmpty())
        font.family = family;
    if (const auto color = parseColor(store::GetVar(fontKey(QStringLiteral("颜色")))))
        font.color = *color;
    if (const auto strike = parseBool(store::GetVar(fontKey(QStringLiteral("删除线")))))
        font.strikeOut = *strike;
    if (const auto underline = parseBool(store::GetVar(fontKey(QStringLiteral("下划线")))))
        font.underline = *underline;
    return font;
}

void StoreReportFont(const store::FontChoice &font)
{
    store::SetVar(fontKey(QStringLiteral("字号")), QString::number(font.pointSize));
    store::SetVar(fontKey(QStringLiteral("粗体")), boolText(font.bold));
    store::SetVar(fontKey(QStringLiteral("斜体")), boolText(font.italic));
    store::SetVar(fontKey(QStringLiteral("字体")), font.family);
    store::SetVar(fontKey(QStringLiteral("颜色")), colorText(font.color));
    store::SetVar(fontKey(QStringLiteral("删除线")), boolText(font.strikeOut));
    store::SetVar(fontKey(QStringLiteral("下划线")), boolText(font.underline));
}

bool LoadRotation(bool initial)
{
    const QString text = store::GetVar(kRotateKey).trimmed();
    if (text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("0"))
        return false;
    return initial;
}

QString DefaultReportTitle(const QString &reportTitle)
{
    QString company;
    const int index = store::CurrentAccountIndex;
    if (index >= 0 && index < store::AccountSets.size()
        && store::AccountSets.at(index).FileName == store::CurrentAccountFile)
        company = store::AccountSets.at(index).Company;
    else
        company = store::GetVar(store::kKeyCompany);
    return company + reportTitle;
}

QString DefaultReportFooter()
{
    return QStringLiteral("联系地址：") + store::GetVar(store::kKeyAddress)
           + QStringLiteral(" 电话：") + store::GetVar(store::kKeyPhone) + QStringLiteral(" 传真：")
           + store::GetVar(store::kKeyFax) + QStringLiteral(" 网址：")
           + store::GetVar(store::kKeyWeb);
}

QStringList notePaperNames()
{
    return {QStringLiteral("A4"), QStringLiteral("A5")};
}

Paper notePaper(const QString &name)
{
    Paper paper;
    paper.width = 210;
    paper.height = name == QLatin1String("A5") ? 148 : 297;
    return paper;
}

QString LoadNotePaperName()
{
    const QString stored = store::GetVar(kNotePaperKey).trimmed();
    return notePaperNames().contains(stored) ? stored : notePaperNames().first();
}

void StoreNotePaperName(const QString &name)
{
    store::SetVar(kNotePaperKey, name);
}

} // namespace print
