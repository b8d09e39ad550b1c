#include "ChartOfAccounts.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>

namespace {

// Where the names of an account's sub-accounts come from.
enum class Pool { None, Bank, Partner, Expense, Department, Tax, Vat, Material, Product, Asset, Salary, Finance, Profit };

// A first-level account of the standard chart. `weight` is how many sub-accounts it tends to
// have compared with the others; core accounts appear in every chart.
struct FirstLevel {
    const char *code;
    const char *name;
    double weight;
    Pool pool;
    bool core;
};

const FirstLevel kFirstLevel[] = {
    {"1001", "库存现金", 0.3, Pool::None, true},
    {"1002", "银行存款", 3, Pool::Bank, true},
    {"1012", "其他货币资金", 1, Pool::None, false},
    {"1101", "交易性金融资产", 0.5, Pool::None, false},
    {"1121", "应收票据", 1, Pool::Partner, false},
    {"1122", "应收账款", 5, Pool::Partner, true},
    {"1123", "预付账款", 3, Pool::Partner, false},
    {"1131", "应收股利", 0.3, Pool::None, false},
    {"1132", "应收利息", 0.3, Pool::None, false},
    {"1221", "其他应收款", 3, Pool::Partner, true},
    {"1231", "坏账准备", 0.3, Pool::None, false},
    {"1401", "材料采购", 1, Pool::Material, false},
    {"1402", "在途物资", 1, Pool::Material, false},
    {"1403", "原材料", 4, Pool::Material, true},
    {"1404", "材料成本差异", 0.5, Pool::Material, false},
    {"1405", "库存商品", 4, Pool::Product, true},
    {"1406", "发出商品", 1, Pool::Product, false},
    {"1408", "委托加工物资", 1, Pool::Material, false},
    {"1411", "周转材料", 1, Pool::Material, false},
    {"1471", "存货跌价准备", 0.3, Pool::None, false},
    {"1501", "持有至到期投资", 0.3, Pool::None, false},
    {"1503", "可供出售金融资产", 0.3, Pool::None, false},
    {"1511", "长期股权投资", 0.5, Pool::Partner, false},
    {"1521", "投资性房地产", 0.3, Pool::None, false},
    {"1531", "长期应收款", 0.5, Pool::Partner, false},
    {"1601", "固定资产", 2, Pool::Asset, true},
    {"1602", "累计折旧", 1, Pool::Asset, true},
    {"1603", "固定资产减值准备", 0.3, Pool::None, false},
    {"1604", "在建工程", 1, Pool::None, false},
    {"1605", "工程物资", 0.5, Pool::Material, false},
    {"1606", "固定资产清理", 0.3, Pool::None, false},
    {"1701", "无形资产", 1, Pool::None, false},
    {"1702", "累计摊销", 0.5, Pool::None, false},
    {"1711", "商誉", 0, Pool::None, false},
    {"1801", "长期待摊费用", 1, Pool::Expense, false},
    {"1811", "递延所得税资产", 0.3, Pool::None, false},
    {"1901", "待处理财产损溢", 0.5, Pool::None, false},
    {"2001", "短期借款", 1, Pool::Bank, false},
    {"2201", "应付票据", 1, Pool::Partner, false},
    {"2202", "应付账款", 5, Pool::Partner, true},
    {"2203", "预收账款", 3, Pool::Partner, false},
    {"2211", "应付职工薪酬", 2, Pool::Salary, true},
    {"2221", "应交税费", 3, Pool::Tax, true},
    {"2231", "应付利息", 0.5, Pool::None, false},
    {"2232", "应付股利", 0.5, Pool::Partner, false},
    {"2241", "其他应付款", 3, Pool::Partner, true},
    {"2401", "递延收益", 0.3, Pool::None, false},
    {"2501", "长期借款", 1, Pool::Bank, false},
    {"2502", "应付债券", 0.3, Pool::None, false},
    {"2701", "长期应付款", 0.5, Pool::Partner, false},
    {"2801", "预计负债", 0.3, Pool::None, false},
    {"2901", "递延所得税负债", 0.3, Pool::None, false},
    {"4001", "实收资本", 1, Pool::Partner, true},
    {"4002", "资本公积", 1, Pool::None, false},
    {"4101", "盈余公积", 1, Pool::None, false},
    {"4103", "本年利润", 0, Pool::None, true},
    {"4104", "利润分配", 1, Pool::Profit, true},
    {"5001", "生产成本", 3, Pool::Product, false},
    {"5101", "制造费用", 3, Pool::Expense, false},
    {"5201", "劳务成本", 1, Pool::None, false},
    {"5301", "研发支出", 1, Pool::None, false},
    {"6001", "主营业务收入", 3, Pool::Product, true},
    {"6051", "其他业务收入", 1, Pool::None, false},
    {"6101", "公允价值变动损益", 0.3, Pool::None, false},
    {"6111", "投资收益", 0.5, Pool::None, false},
    {"6301", "营业外收入", 1, Pool::None, false},
    {"6401", "主营业务成本", 3, Pool::Product, true},
    {"6402", "其他业务成本", 1, Pool::None, false},
    {"6403", "营业税金及附加", 1, Pool::None, false},
    {"6601", "销售费用", 4, Pool::Expense, true},
    {"6602", "管理费用", 5, Pool::Expense, true},
    {"6603", "财务费用", 2, Pool::Finance, true},
    {"6701", "资产减值损失", 0.5, Pool::None, false},
    {"6711", "营业外支出", 1, Pool::None, false},
    {"6801", "所得税费用", 0.5, Pool::None, false},
    {"6901", "以前年度损益调整", 0.3, Pool::None, false},
};
constexpr int kFirstLevelCount = int(sizeof kFirstLevel / sizeof kFirstLevel[0]);

// The fixed names of a pool, in the order sub-accounts are usually opened.
QStringList poolNames(Pool pool)
{
    switch (pool) {
    case Pool::Bank:
        return {"工商银行", "建设银行", "农业银行", "中国银行", "交通银行", "招商银行",
                "浦发银行", "中信银行", "民生银行", "兴业银行", "光大银行", "华夏银行"};
    case Pool::Expense:
        return {"工资",   "福利费",       "办公费",         "差旅费",     "业务招待费", "折旧费",   "水电费",       "通讯费",
                "租赁费", "修理费",       "会议费",         "培训费",     "广告费",     "运输费",   "保险费",       "咨询费",
                "审计费", "无形资产摊销", "低值易耗品摊销", "劳动保护费", "车辆使用费", "工会经费", "职工教育经费", "其他"};
    case Pool::Department:
        return {"行政部", "财务部", "销售部", "采购部", "生产部", "技术部", "人力资源部", "仓储部", "质检部", "市场部"};
    case Pool::Tax:
        return {"应交增值税",         "未交增值税",     "应交营业税", "应交企业所得税", "应交个人所得税",
                "应交城市维护建设税", "应交教育费附加", "应交房产税", "应交土地使用税", "应交车船使用税"};
    case Pool::Vat:
        return {"进项税额", "销项税额", "已交税金", "进项税额转出", "转出未交增值税", "减免税款"};
    case Pool::Material:
        return {"钢材",   "铝材",     "铜材",     "木材",   "塑料粒子", "电子元件", "包装物", "油漆",
                "橡胶件", "五金配件", "化工原料", "标准件", "轴承",     "电机",     "线缆"};
    case Pool::Product:
        return {"甲产品", "乙产品", "丙产品", "丁产品", "戊产品", "己产品", "庚产品", "辛产品"};
    case Pool::Asset:
        return {"房屋及建筑物", "机器设备", "运输工具", "电子设备", "办公设备", "其他设备"};
    case Pool::Salary:
        return {"工资", "职工福利", "社会保险费", "住房公积金", "工会经费", "职工教育经费", "非货币性福利", "辞退福利"};
    case Pool::Finance:
        return {"利息支出", "利息收入", "汇兑损益", "手续费", "现金折扣"};
    case Pool::Profit:
        return {"提取法定盈余公积", "提取任意盈余公积", "应付现金股利", "转作股本的股利", "盈余公积补亏", "未分配利润"};
    case Pool::None:
    case Pool::Partner:
        break;
    }
    return {};
}

// Random numbers from the raw Mersenne Twister output, whose sequence the C++ standard fixes,
// so that a seed gives the same chart with every compiler.
class Rng {
public:
    explicit Rng(quint32 seed) : m_engine(seed) {}
    // The engine's numbers are below 2^32: the remainder fits n's type, and a double holds each exactly.
    quint32 below(quint32 n) { return n ? quint32(m_engine() % n) : 0; }
    double unit() { return double(m_engine()) / 4294967296.0; }

private:
    std::mt19937 m_engine;
};

// Capacities beyond any requested chart size are cut here so that deep charts do not overflow.
constexpr qint64 kHuge = qint64(1) << 40;

// Splits `total` into shares roughly proportional to `weights`, none above `cap`. Zero weights
// get nothing unless the others are full. The caller guarantees weights.size() * cap >= total.
QVector<qint64> splitBudget(qint64 total, QVector<double> weights, qint64 cap)
{
    QVector<qint64> share(weights.size(), 0);
    while (total > 0) {
        double sum = 0;
        for (int i = 0; i < share.size(); ++i)
            if (share[i] < cap)
                sum += weights[i];
        if (sum <= 0) {
            for (int i = 0; i < share.size(); ++i)
                weights[i] = share[i] < cap ? 1 : 0;
            continue;
        }
        qint64 given = 0;
        for (int i = 0; i < share.size(); ++i) {
            if (share[i] >= cap || weights[i] <= 0)
                continue;
            const qint64 g = std::min(cap - share[i], qint64(double(total) * weights[i] / sum));
            share[i] += g;
            given += g;
        }
        if (given == 0) {
            // Rounding left less than one unit per share: the one with most weight per unit held gets it.
            int best = -1;
            for (int i = 0; i < share.size(); ++i)
                if (share[i] < cap && weights[i] > 0
                    && (best < 0 || weights[i] / double(share[i] + 1) > weights[best] / double(share[best] + 1)))
                    best = i;
            ++share[best];
            given = 1;
        }
        total -= given;
    }
    return share;
}

// Builds the chart depth first, so that each account is followed by its sub-accounts in code order.
class ChartBuilder {
public:
    ChartBuilder(const QVector<int> &lengths, quint32 seed) : m_lengths(lengths), m_rng(seed)
    {
        m_childCap.resize(lengths.size());
        m_subCap.resize(lengths.size());
        for (int k = 0; k < lengths.size(); ++k)
            m_childCap[k] = qint64(std::pow(10, lengths[k])) - 1;
        m_subCap[lengths.size() - 1] = 0;
        for (int k = int(lengths.size()) - 2; k >= 0; --k)
            m_subCap[k] = std::min(kHuge, m_childCap[k + 1] * (1 + m_subCap[k + 1]));
    }

    // Chooses the first-level accounts and how many accounts go below each, then grows them.
    QVector<ChartAccount> build(int codeCount)
    {
        if (qint64(codeCount) > kFirstLevelCount * (1 + m_subCap[0]))
            throw std::invalid_argument("generateChart: too many codes for these segment lengths");
        if (codeCount <= 0)
            return {};
        const double n = double(codeCount);
        qint64 firstCount = std::min<qint64>({kFirstLevelCount, qint64(std::ceil(0.4 * n)), qint64(8 + 2 * std::sqrt(n))});
        firstCount = std::max<qint64>({firstCount, 1, qint64(std::ceil(n / double(1 + m_subCap[0])))});

        // Core accounts first, then the others in random order; the chosen ones keep code order.
        QVector<int> order;
        for (int i = 0; i < kFirstLevelCount; ++i)
            if (kFirstLevel[i].core)
                order.append(i);
        QVector<int> rest;
        for (int i = 0; i < kFirstLevelCount; ++i)
            if (!kFirstLevel[i].core)
                rest.append(i);
        for (int i = int(rest.size()) - 1; i > 0; --i)
            std::swap(rest[i], rest[int(m_rng.below(quint32(i + 1)))]);
        order += rest;
        order.resize(firstCount);
        std::sort(order.begin(), order.end());

        QVector<double> weights;
        for (int i : order)
            weights.append(kFirstLevel[i].weight * (0.5 + m_rng.unit()));
        const QVector<qint64> budgets = splitBudget(codeCount - firstCount, weights, m_subCap[0]);
        for (int j = 0; j < order.size(); ++j) {
            const FirstLevel &f = kFirstLevel[order[j]];
            grow(QString::fromLatin1(f.code), QString::fromUtf8(f.name), 0, f.pool, budgets[j]);
        }
        return m_out;
    }

private:
    // Adds the account and exactly `budget` accounts below it: some direct sub-accounts, and the
    // rest spread unevenly under a few of them, as real charts detail only some items further.
    void grow(const QString &code, const QString &name, int level, Pool childPool, qint64 budget)
    {
        m_out.append({code, name, level + 1, budget == 0});
        if (budget == 0)
            return;
        const qint64 childCap = m_childCap[level + 1];
        const qint64 childSub = m_subCap[level + 1];
        const qint64 lo = (budget + childSub) / (1 + childSub);
        const qint64 hi = std::min(budget, childCap);
        const qint64 children = std::clamp<qint64>(std::llround(double(budget) * (0.35 + 0.45 * m_rng.unit())), lo, hi);

        QVector<double> weights(children, 0.0);
        for (double &w : weights) {
            if (m_rng.unit() < 0.4) {
                const double u = m_rng.unit();
                w = 0.2 + 3 * u * u;
            }
        }
        const qint64 below = budget - children;
        if (below > 0 && std::all_of(weights.begin(), weights.end(), [](double w) { return w == 0; }))
            weights[m_rng.below(quint32(children))] = 1;
        const QVector<qint64> shares = splitBudget(below, weights, childSub);

        const QStringList names = poolNames(childPool);
        qint64 spare = childCap - children;  // unused numbers, some left as gaps like closed accounts
        qint64 number = 0;
        for (int i = 0; i < children; ++i) {
            ++number;
            if (i > 0 && spare > 0 && m_rng.below(12) == 0) {
                ++number;
                --spare;
            }
            const int width = m_lengths[level + 1];
            const QString childName =
                childPool == Pool::Partner ? partnerName()
                : i < names.size()
                    ? names[i]
                    : QStringLiteral("明细") + QString::number(number).rightJustified(std::max(width, 2), QLatin1Char('0'));
            grow(code + QString::number(number).rightJustified(width, QLatin1Char('0')), childName, level + 1,
                 poolBelow(childPool, childName), shares[i]);
        }
    }

    // The pool that names the sub-accounts of an account named `name` from pool `pool`.
    static Pool poolBelow(Pool pool, const QString &name)
    {
        if (pool == Pool::Expense)
            return Pool::Department;
        if (pool == Pool::Tax && name == QStringLiteral("应交增值税"))
            return Pool::Vat;
        return Pool::None;
    }

    // A customer's or supplier's name such as 杭州恒通机械有限公司.
    QString partnerName()
    {
        static const QStringList cities = {"北京", "上海", "天津", "重庆", "广州", "深圳", "杭州", "南京", "武汉", "成都",
                                           "西安", "沈阳", "青岛", "苏州", "长沙", "郑州", "济南", "合肥", "福州", "昆明"};
        static const QStringList words = {"华信", "宏达", "金鹏", "瑞丰", "恒通", "长城", "东方",
                                          "新兴", "永安", "明德", "天成", "鑫源", "博远", "中联"};
        static const QStringList trades = {"科技", "贸易", "机械", "电子", "物流", "建材", "化工", "食品", "纺织", "医药"};
        return cities[m_rng.below(quint32(cities.size()))] + words[m_rng.below(quint32(words.size()))]
               + trades[m_rng.below(quint32(trades.size()))] + QStringLiteral("有限公司");
    }

    QVector<int> m_lengths;
    QVector<qint64> m_childCap;  // how many sub-accounts the segment of level k can number
    QVector<qint64> m_subCap;    // how many accounts can lie below one account of level k
    Rng m_rng;
    QVector<ChartAccount> m_out;
};

}  // namespace

QVector<ChartAccount> generateChart(int codeCount, const QVector<int> &levelLengths, quint32 seed)
{
    if (levelLengths.isEmpty() || levelLengths.first() != 4)
        throw std::invalid_argument("generateChart: the first segment must be 4 digits");
    for (int length : levelLengths)
        if (length < 1 || length > 4)
            throw std::invalid_argument("generateChart: segments must be 1 to 4 digits");
    if (codeCount < 0)
        throw std::invalid_argument("generateChart: negative code count");
    return ChartBuilder(levelLengths, seed).build(codeCount);
}
