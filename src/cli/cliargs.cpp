#include "cliargs.h"

#include <QRegularExpression>

namespace cli {

namespace {

// What each command accepts.
struct CommandShape
{
    const char *name;
    int minWords;
    int maxWords;
    QStringList options; // beyond the ones every command takes
    const char *usage;
    const char *summary;
};

const QStringList &commonOptions()
{
    static const QStringList options
            = {QStringLiteral("--folder"), QStringLiteral("--set"), QStringLiteral("--server"),
               QStringLiteral("--user"), QStringLiteral("--help")};
    return options;
}

const QVector<CommandShape> &commandShapes()
{
    static const QVector<CommandShape> shapes = {
            {"sets",
             0,
             0,
             {QStringLiteral("--json")},
             "sets [--json]",
             "列出程序文件夹中的套账：编号、文件、名称、企业、生成日期、最近访问、能否打开。"},
            {"export",
             1,
             1,
             {QStringLiteral("--out"), QStringLiteral("--from"), QStringLiteral("--to")},
             "export LIST --out FILE.csv|FILE.xlsx [--from D --to D]",
             "把一个记录列表按列表页的内容导出为 CSV 或 Excel 文件。"},
            {"analyse",
             1,
             1,
             {QStringLiteral("--by"), QStringLiteral("--measure"), QStringLiteral("--from"),
              QStringLiteral("--to"), QStringLiteral("--product"), QStringLiteral("--salesman"),
              QStringLiteral("--out")},
             "analyse sales|stock|customers|profit|receivables|payables "
             "[--by year|month|week|day|product|salesman] "
             "[--measure amount|quantity|average] [--from D --to D] [--product NAME] "
             "[--salesman NAME] --out FILE.csv|FILE.xlsx|FILE.jpg|FILE.pdf",
             "运行一项分析，把表格、图表（.jpg）或打印页（.pdf）写入文件；"
             "receivables 和 payables 是截至 --to（默认今天）的应收、应付账款。"},
            {"receive",
             0,
             0,
             {QStringLiteral("--customer"), QStringLiteral("--amount"), QStringLiteral("--date"),
              QStringLiteral("--account"), QStringLiteral("--memo")},
             "receive --customer NAME --amount X --account NAME [--date D] [--memo TEXT]",
             "记一笔客户收款：从最早的未结清销售记录起依次冲销（日期默认今天）。"},
            {"pay",
             0,
             0,
             {QStringLiteral("--vendor"), QStringLiteral("--amount"), QStringLiteral("--date"),
              QStringLiteral("--account"), QStringLiteral("--memo")},
             "pay --vendor NAME --amount X --account NAME [--date D] [--memo TEXT]",
             "记一笔供应商付款：从最早的未结清采购记录起依次冲销（日期默认今天）。"},
            {"print",
             1,
             1,
             {QStringLiteral("--out"), QStringLiteral("--from"), QStringLiteral("--to"),
              QStringLiteral("--ids")},
             "print LIST --out FILE.pdf [--from D --to D]\n"
             "  print sale-note|purchase-note --ids 12,13 --out FILE.pdf",
             "按套账保存的打印预览设置把一个记录列表打印为 PDF 文件；sale-note、purchase-note "
             "把所给编号的销售或采购记录（同一客户或供应商）打印为销售单或采购单。"},
            {"import",
             2,
             2,
             {QStringLiteral("--sheet"), QStringLiteral("--rows"), QStringLiteral("--map")},
             "import LIST FILE [--sheet NAME] [--rows FIRST-LAST] [--map \"产品=A,客户=B,…\"]",
             "从 CSV 或 Excel 文件导入记录；不给 --map 时使用该列表保存的映射。"},
            {"backup",
             0,
             0,
             {QStringLiteral("--out")},
             "backup --out FILE.qdb",
             "把套账备份为一个 .qdb 文件。"},
            {"restore", 1, 1, {}, "restore FILE.qdb", "把备份文件导入为一个新套账。"},
            {"compact", 0, 0, {}, "compact", "压缩及整理套账数据库。"},
            {"tidy", 0, 0, {}, "tidy", "删除客户或产品已不存在的销售记录。"},
            {"check", 0, 0, {}, "check", "检查每个套账的完整性；有一个不完好时以非零状态结束。"},
            {"server",
             1,
             1,
             {QStringLiteral("--name"), QStringLiteral("--company"), QStringLiteral("--role")},
             "server init|upload|download --server CONNINFO [--name NAME --company NAME "
             "[--role ROLE]]",
             "服务器套账：init 把一个空的 PostgreSQL 数据库建成新套账；给出 --role 时以管理员连接，"
             "并把套账交给服务器用户 ROLE（没有时新建，密码取自环境变量 KORVO_ROLE_PASSWORD 或在"
             "终端上询问；它只能登录并使用这个数据库），链接文件以 ROLE 连接；upload 把 --set "
             "指定的套账"
             "复制到空数据库；download 把服务器套账复制为程序文件夹中的新套账。CONNINFO 是 libpq "
             "的连接参数（host=… dbname=… user=…），不含密码。"},
    };
    return shapes;
}

const CommandShape *findShape(const QString &name)
{
    for (const CommandShape &shape : commandShapes()) {
        if (name == QLatin1String(shape.name))
            return &shape;
    }
    return nullptr;
}

bool takesValue(const QString &option)
{
    return option != QLatin1String("--json") && option != QLatin1String("--help");
}

bool knownOption(const QString &option)
{
    if (commonOptions().contains(option))
        return true;
    for (const CommandShape &shape : commandShapes()) {
        if (shape.options.contains(option))
            return true;
    }
    return false;
}

} // namespace

bool parseArguments(const QStringList &args, Invocation &out, QString *error)
{
    out = Invocation();
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("-h")) {
            out.help = true;
            continue;
        }
        if (!arg.startsWith(QLatin1String("--")) || arg == QLatin1String("--")) {
            if (out.command.isEmpty())
                out.command = arg;
            else
                out.words << arg;
            continue;
        }
        QString name = arg;
        QString value;
        bool hasValue = false;
        const int equals = arg.indexOf(QLatin1Char('='));
        if (equals > 0) {
            name = arg.left(equals);
            value = arg.mid(equals + 1);
            hasValue = true;
        }
        if (!knownOption(name)) {
            *error = QStringLiteral("未知选项：%1").arg(name);
            return false;
        }
        if (name == QLatin1String("--help")) {
            out.help = true;
            continue;
        }
        if (!takesValue(name)) {
            if (hasValue) {
                *error = QStringLiteral("选项 %1 不带值。").arg(name);
                return false;
            }
            out.options.insert(name, QStringLiteral("1"));
            continue;
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("选项 %1 缺少值。").arg(name);
                return false;
            }
            value = args.at(++i);
        }
        out.options.insert(name, value);
    }
    return true;
}

bool checkInvocation(const Invocation &inv, QString *error)
{
    if (inv.command.isEmpty()) {
        *error = QStringLiteral("缺少命令。用 --help 查看用法。");
        return false;
    }
    const CommandShape *shape = findShape(inv.command);
    if (!shape) {
        *error = QStringLiteral("未知命令：%1。用 --help 查看用法。").arg(inv.command);
        return false;
    }
    for (auto it = inv.options.cbegin(); it != inv.options.cend(); ++it) {
        if (!commonOptions().contains(it.key()) && !shape->options.contains(it.key())) {
            *error = QStringLiteral("命令 %1 不接受选项 %2。").arg(inv.command, it.key());
            return false;
        }
    }
    if (inv.words.size() < shape->minWords || inv.words.size() > shape->maxWords) {
        *error = QStringLiteral("参数个数不对。用法：korvo-cli %1")
                         .arg(QString::fromUtf8(shape->usage));
        return false;
    }
    return true;
}

QDate parseDate(const QString &text)
{
    static const QRegularExpression pattern(
            QStringLiteral("^(\\d{4})[-./](\\d{1,2})[-./](\\d{1,2})$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return QDate();
    // QDate refuses 2024-02-30 and the like by itself.
    return QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
}

bool parseRowRange(const QString &text, int &first, int &last)
{
    static const QRegularExpression pattern(
            QStringLiteral("^\\s*(\\d{1,9})\\s*-\\s*(\\d{1,9})\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    first = match.captured(1).toInt();
    last = match.captured(2).toInt();
    return first > 0 && last > 0;
}

QString helpText()
{
    QString text
            = QStringLiteral("korvo-cli — 在终端里使用 Korvo进销存 的套账（不需要窗口）。\n\n"
                             "用法：korvo-cli 命令 [参数] [选项]\n\n"
                             "共同选项：\n"
                             "  --folder DIR     程序文件夹（默认：korvo-cli 所在的文件夹）\n"
                             "  --set 名称|DATAnnnnn.qdt   套账（默认：最近使用的套账）\n"
                             "  --user 名称      登录的员工；密码取自环境变量 KORVO_PASSWORD，\n"
                             "                   没有时在终端上询问（不回显）\n"
                             "  --help           显示帮助；命令后面加 --help 显示该命令的帮助\n\n"
                             "命令：\n");
    for (const CommandShape &shape : commandShapes())
        text += QStringLiteral("  %1\n      %2\n")
                        .arg(QString::fromUtf8(shape.usage), QString::fromUtf8(shape.summary));
    text += QStringLiteral("\n列表 LIST：%1\n").arg(listWords().join(QLatin1Char(' ')));
    text += QStringLiteral(
            "日期 D：yyyy-MM-dd，例如 2026-03-01\n\n"
            "结束状态：0 完成；1 用法错误；2 登录或权限被拒绝；3 数据或文件错误。\n");
    return text;
}

QString commandHelp(const QString &command)
{
    const CommandShape *shape = findShape(command);
    if (!shape)
        return QString();
    return QStringLiteral(
                   "用法：korvo-cli %1\n\n%2\n\n共同选项：--folder DIR  --set 套账  --user 员工\n")
            .arg(QString::fromUtf8(shape->usage), QString::fromUtf8(shape->summary));
}

int listTab(const QString &word)
{
    static const QMap<QString, int> tabs = {
            {QStringLiteral("sales"), 0},    {QStringLiteral("purchases"), 1},
            {QStringLiteral("products"), 3}, {QStringLiteral("customers"), 4},
            {QStringLiteral("vendors"), 5},  {QStringLiteral("accounts"), 6},
            {QStringLiteral("staff"), 7},
    };
    return tabs.value(word, -1);
}

QStringList listWords()
{
    return {QStringLiteral("sales"),     QStringLiteral("purchases"), QStringLiteral("products"),
            QStringLiteral("customers"), QStringLiteral("vendors"),   QStringLiteral("accounts"),
            QStringLiteral("staff")};
}

} // namespace cli
