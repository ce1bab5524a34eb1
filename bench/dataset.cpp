#include "dataset.h"

#include "store/engine.h"
#include "store/schema.h"

#include <QDate>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>

#include <sqlite3.h>

#include <cmath>
#include <functional>
#include <iterator>
#include <vector>

namespace bench {

namespace {

const char *const kSurnames[] = {
        "王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马", "朱", "胡",
        "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯", "邓", "曹",
        "彭", "曾", "肖", "田", "董", "袁", "潘", "于", "蒋", "蔡", "余", "杜", "叶", "程", "苏",
        "魏", "吕", "丁", "任", "沈", "姚", "卢", "姜", "崔", "钟", "谭", "陆", "汪", "范", "金"};
const char *const kGivenNames[]
        = {"伟",   "芳",   "娜",   "秀英", "敏",   "静",   "丽",   "强",   "磊",   "军",
           "洋",   "勇",   "艳",   "杰",   "娟",   "涛",   "明",   "超",   "秀兰", "霞",
           "平",   "刚",   "桂英", "华",   "建国", "志红", "玉梅", "文斌", "晓东", "海燕",
           "建华", "鹏飞", "子涵", "思雨", "俊杰", "欣怡", "浩然", "雪梅", "春生"};
const char *const kCities[] = {"北京", "上海", "广州", "深圳", "杭州", "南京", "苏州", "成都",
                               "武汉", "西安", "重庆", "天津", "长沙", "郑州", "青岛", "宁波",
                               "厦门", "福州", "济南", "合肥", "昆明", "沈阳", "大连", "南昌"};
const char *const kTradeNames[]
        = {"鑫源", "恒达", "华盛", "永兴", "宏发", "金泰", "瑞丰", "德隆", "新世纪", "东方",
           "天和", "万通", "隆盛", "佳宜", "信达", "汇丰", "嘉禾", "富华", "顺发",   "博远"};
const char *const kTrades[] = {"五金", "建材",     "机电", "商贸", "电器", "化工",    "塑料",
                               "钢材", "办公用品", "电子", "百货", "水暖", "劳保用品"};
const char *const kMaterials[]
        = {"不锈钢", "镀锌", "紫铜", "铝合金", "PVC", "橡胶", "尼龙", "铸铁", "碳钢", "黄铜"};
const char *const kItems[] = {"管",   "螺栓", "螺母",   "垫片", "阀门", "弯头", "法兰",
                              "轴承", "链条", "钢丝绳", "三通", "管卡", "合页", "膨胀螺丝"};
const char *const kUnits[] = {"个", "件", "米", "根", "套", "箱", "卷", "只", "公斤", "吨"};
const char *const kProvinces[] = {"北京市", "上海市", "广东省", "浙江省", "江苏省", "四川省",
                                  "湖北省", "陕西省", "重庆市", "天津市", "湖南省", "河南省",
                                  "山东省", "福建省", "安徽省", "云南省", "辽宁省", "江西省"};
const char *const kAccounts[]
        = {"现金",     "工商银行基本户", "建设银行一般户", "农业银行", "中国银行",
           "招商银行", "交通银行",       "支付宝",         "微信",     "邮政储蓄"};
const char *const kBanks[] = {"",         "中国工商银行",    "中国建设银行", "中国农业银行",
                              "中国银行", "招商银行",        "交通银行",     "",
                              "",         "中国邮政储蓄银行"};
const char *const kMemos[] = {"月结", "现款", "含运费", "客户自提", "送货上门", "部分退货"};

template<size_t N>
QString pick(QRandomGenerator &random, const char *const (&list)[N])
{
    return QString::fromUtf8(list[random.bounded(int(N))]);
}

QString personName(QRandomGenerator &random)
{
    return pick(random, kSurnames) + pick(random, kGivenNames);
}

QString mobile(QRandomGenerator &random)
{
    return QStringLiteral("13%1").arg(random.bounded(100000000, 999999999));
}

// Draws names from make() until count distinct ones are found.
QStringList distinctNames(int count, const std::function<QString()> &make)
{
    QStringList names;
    QSet<QString> seen;
    while (names.size() < count) {
        const QString name = make();
        if (!seen.contains(name)) {
            seen.insert(name);
            names << name;
        }
    }
    return names;
}

// A prepared INSERT on the raw handle, finalized when it goes out of scope.
class Insert
{
public:
    Insert(sqlite3 *db, const char *sql) { sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Insert() { sqlite3_finalize(m_stmt); }
    bool ok() const { return m_stmt != nullptr; }

    Insert &text(const QString &value)
    {
        const QByteArray utf8 = value.toUtf8();
        sqlite3_bind_text(m_stmt, ++m_index, utf8.constData(), utf8.size(), SQLITE_TRANSIENT);
        return *this;
    }
    Insert &integer(qint64 value)
    {
        sqlite3_bind_int64(m_stmt, ++m_index, value);
        return *this;
    }
    Insert &number(double value)
    {
        sqlite3_bind_double(m_stmt, ++m_index, value);
        return *this;
    }
    bool run()
    {
        const int rc = sqlite3_step(m_stmt);
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        m_index = 0;
        return rc == SQLITE_DONE;
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
    int m_index = 0;
};

double money(double value)
{
    return std::round(value * 100) / 100;
}

} // namespace

bool buildDataSet(const QString &path, const DataSetSize &size, QString *error)
{
    if (!store::BuildTemplate(path, error))
        return false;
    const store::DatabasePtr db = store::Registry::open(path, error);
    if (!db)
        return false;
    sqlite3 *h = db->handle();
    QRandomGenerator random(20460311);
    bool ok = db->execNative(QStringLiteral("BEGIN"), error);

    std::vector<double> listPrices;
    {
        Insert pro(h, "INSERT INTO Pro (Name, Price, Unit, P0, Memo) VALUES (?, ?, ?, ?, ?)");
        ok = ok && pro.ok();
        const QStringList names = distinctNames(size.products, [&] {
            return pick(random, kMaterials) + pick(random, kItems)
                   + QStringLiteral(" DN%1").arg(5 * random.bounded(1, 80));
        });
        for (const QString &name : names) {
            const double price = money(std::exp(random.bounded(1.0) * 7.0));
            listPrices.push_back(price);
            ok = ok
                 && pro.text(name)
                            .number(price)
                            .text(pick(random, kUnits))
                            .text(pick(random, kCities))
                            .text(QString())
                            .run();
        }
    }
    {
        Insert cus(h, "INSERT INTO Cus (Name, CName, Disc, Prov, Region, Address, PC, Phone, "
                      "Mobile, Email, Memo) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        ok = ok && cus.ok();
        const QStringList names = distinctNames(size.customers, [&] {
            return pick(random, kCities) + pick(random, kTradeNames) + pick(random, kTrades)
                   + QStringLiteral("有限公司");
        });
        for (const QString &name : names) {
            const QString city = name.left(2);
            ok = ok
                 && cus.text(name)
                            .text(personName(random))
                            .number(0.8 + 0.01 * random.bounded(21))
                            .text(pick(random, kProvinces))
                            .text(city)
                            .text(city + QStringLiteral("市人民路%1号").arg(random.bounded(1, 400)))
                            .text(QStringLiteral("%1").arg(random.bounded(100000, 999999)))
                            .text(QStringLiteral("0%1-%2")
                                          .arg(random.bounded(10, 999))
                                          .arg(random.bounded(10000000, 99999999)))
                            .text(mobile(random))
                            .text(QStringLiteral("sales%1@example.com").arg(random.bounded(1000)))
                            .text(QString())
                            .run();
        }
    }
    {
        Insert vendor(h, "INSERT INTO Vendor (Name, CName, Phone, Mobile, Address) "
                         "VALUES (?, ?, ?, ?, ?)");
        ok = ok && vendor.ok();
        const QStringList names = distinctNames(size.vendors, [&] {
            return pick(random, kCities) + pick(random, kTradeNames) + pick(random, kMaterials)
                   + QStringLiteral("制品厂");
        });
        for (const QString &name : names)
            ok = ok
                 && vendor.text(name)
                            .text(personName(random))
                            .text(QStringLiteral("0%1-%2")
                                          .arg(random.bounded(10, 999))
                                          .arg(random.bounded(10000000, 99999999)))
                            .text(mobile(random))
                            .text(name.left(2)
                                  + QStringLiteral("工业园区%1号").arg(random.bounded(1, 90)))
                            .run();
    }
    {
        Insert acc(h, "INSERT INTO Acc (Name, Bank, Account) VALUES (?, ?, ?)");
        ok = ok && acc.ok();
        for (int i = 0; i < size.accounts; ++i) {
            const int k = i % int(std::size(kAccounts));
            QString name = QString::fromUtf8(kAccounts[k]);
            if (i >= int(std::size(kAccounts)))
                name += QString::number(i);
            ok = ok
                 && acc.text(name)
                            .text(QString::fromUtf8(kBanks[k]))
                            .text(QStringLiteral("6222%1").arg(
                                    random.bounded(100000000, 999999999)))
                            .run();
        }
    }
    {
        Insert staff(h, "INSERT INTO Staff (Name, PSD, MPhone, Right) VALUES (?, ?, ?, ?)");
        ok = ok && staff.ok();
        const QStringList names
                = distinctNames(std::max(0, size.staff - 2), [&] { return personName(random); });
        for (const QString &name : names)
            ok = ok
                 && staff.text(name)
                            .text(QStringLiteral("123"))
                            .text(mobile(random))
                            .text(QStringLiteral("销售数据添加;销售数据修改;采购数据添加"))
                            .run();
    }

    // Records: dates spread over three years, a few products and customers
    // much busier than the rest, as in a real shop.
    const QDate first = QDate::fromString(QLatin1String(kFirstDay), Qt::ISODate);
    const int days = int(first.daysTo(QDate::fromString(QLatin1String(kLastDay), Qt::ISODate))) + 1;
    const auto skewed = [&](int count) {
        const double u = random.bounded(1.0);
        return 1 + std::min(count - 1, int(count * u * u));
    };
    const auto record = [&](Insert &insert, int partner, double priceFactor) {
        const int product = skewed(size.products);
        const double price = money(listPrices[size_t(product - 1)] * priceFactor);
        const double num = random.bounded(1, 200);
        const double pay = money(price * num);
        const double paid = random.bounded(10) < 8 ? pay : money(pay * random.bounded(1.0));
        const QString dat = first.addDays(random.bounded(days)).toString(Qt::ISODate)
                            + QStringLiteral(" 00:00:00");
        return insert.text(dat)
                .integer(product)
                .integer(partner)
                .integer(1 + random.bounded(size.accounts))
                .integer(1 + random.bounded(size.staff))
                .number(price)
                .number(num)
                .number(pay)
                .number(paid)
                .text(random.bounded(5) == 0 ? pick(random, kMemos) : QString())
                .run();
    };
    {
        Insert sale(h, "INSERT INTO Sale (Dat, PID, CID, AID, SID, Price, Num, Pay, Pay1, Memo) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        ok = ok && sale.ok();
        for (int i = 0; ok && i < size.sales; ++i)
            ok = record(sale, skewed(size.customers), 0.9 + 0.01 * random.bounded(30));
    }
    {
        Insert pur(h, "INSERT INTO Pur (Dat, PID, VID, AID, SID, Price, Num, Pay, Pay1, Memo) "
                      "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        ok = ok && pur.ok();
        for (int i = 0; ok && i < size.purchases; ++i)
            ok = record(pur, 1 + random.bounded(size.vendors), 0.6 + 0.01 * random.bounded(20));
    }

    if (ok)
        ok = db->execNative(QStringLiteral("COMMIT"), error);
    if (!ok) {
        if (error && error->isEmpty())
            *error = QString::fromUtf8(sqlite3_errmsg(h));
        db->execNative(QStringLiteral("ROLLBACK"));
    }
    // Let the set go as the program does at the end of the session that
    // wrote the rows, which gathers the query planner's statistics.
    store::Registry::close(path);
    return ok;
}

} // namespace bench
