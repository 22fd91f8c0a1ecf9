#include "ui/sheets/StorageProvider.h"

#include "app/text/L10n.h"
#include "core/storage/MakerService.h"
#include "core/text/AsciiCase.h"

namespace tarn {
namespace {

const QString kRegionPlaceholder = QStringLiteral("{region}");

RegionOption region(const char* code, const char* zh, const char* en)
{
    return {QString::fromUtf8(zh), QString::fromUtf8(en), QString::fromUtf8(code)};
}

std::vector<StorageProvider> makeTable()
{
    const QString makerDomain = QString::fromUtf8(MakerService::storageDomain.data(),
                                                  static_cast<qsizetype>(MakerService::storageDomain.size()));
    std::vector<StorageProvider> table;
    table.push_back({QStringLiteral("Corvane Tarn"), QStringLiteral("Corvane Tarn"), QStringLiteral("Corvane Tarn"),
                     QStringLiteral("https://s3.") + makerDomain,
                     {region("cn-east-1", "华东", "East China")}});
    table.push_back({QString::fromUtf8("阿里云 OSS"), QStringLiteral("Aliyun OSS"), QString::fromUtf8("阿里云 OSS"),
                     QStringLiteral("https://{region}.aliyuncs.com"),
                     {
                         region("oss-cn-hangzhou", "华东1（杭州）", "China (Hangzhou)"),
                         region("oss-cn-shanghai", "华东2（上海）", "China (Shanghai)"),
                         region("oss-cn-shenzhen", "华南1（深圳）", "China (Shenzhen)"),
                         region("oss-cn-heyuan", "华南2（河源）", "China (Heyuan)"),
                         region("oss-cn-guangzhou", "华南3（广州）", "China (Guangzhou)"),
                         region("oss-cn-qingdao", "华北1（青岛）", "China (Qingdao)"),
                         region("oss-cn-beijing", "华北2（北京）", "China (Beijing)"),
                         region("oss-cn-zhangjiakou", "华北3（张家口）", "China (Zhangjiakou)"),
                         region("oss-cn-huhehaote", "华北5（呼和浩特）", "China (Hohhot)"),
                         region("oss-cn-wulanchabu", "华北6（乌兰察布）", "China (Ulanqab)"),
                         region("oss-cn-chengdu", "西南1（成都）", "China (Chengdu)"),
                         region("oss-cn-hongkong", "中国香港", "China (Hong Kong)"),
                         region("oss-ap-southeast-1", "亚太东南1（新加坡）", "Singapore"),
                         region("oss-ap-southeast-2", "亚太东南2（悉尼）", "Australia (Sydney)"),
                         region("oss-ap-southeast-3", "亚太东南3（吉隆坡）", "Malaysia (Kuala Lumpur)"),
                         region("oss-ap-southeast-5", "亚太东南5（雅加达）", "Indonesia (Jakarta)"),
                         region("oss-ap-southeast-6", "亚太东南6（马尼拉）", "Philippines (Manila)"),
                         region("oss-ap-southeast-7", "亚太东南7（泰国）", "Thailand (Bangkok)"),
                         region("oss-ap-south-1", "亚太南1（孟买）", "India (Mumbai)"),
                         region("oss-ap-northeast-1", "亚太东北1（日本）", "Japan (Tokyo)"),
                         region("oss-ap-northeast-2", "亚太东北2（韩国）", "South Korea (Seoul)"),
                         region("oss-us-west-1", "美国西部1（硅谷）", "US (Silicon Valley)"),
                         region("oss-us-east-1", "美国东部1（弗吉尼亚）", "US (Virginia)"),
                         region("oss-eu-central-1", "欧洲中部1（法兰克福）", "Germany (Frankfurt)"),
                         region("oss-eu-west-1", "欧洲西部1（伦敦）", "UK (London)"),
                         region("oss-me-east-1", "中东东部1（迪拜）", "UAE (Dubai)"),
                     }});
    table.push_back({QString::fromUtf8("腾讯云 COS"), QStringLiteral("Tencent COS"), QString::fromUtf8("腾讯云 COS"),
                     QStringLiteral("https://cos.{region}.myqcloud.com"),
                     {
                         region("ap-guangzhou", "广州", "Guangzhou"),
                         region("ap-shanghai", "上海", "Shanghai"),
                         region("ap-nanjing", "南京", "Nanjing"),
                         region("ap-beijing", "北京", "Beijing"),
                         region("ap-chengdu", "成都", "Chengdu"),
                         region("ap-chongqing", "重庆", "Chongqing"),
                         region("ap-hongkong", "中国香港", "Hong Kong"),
                         region("ap-singapore", "新加坡", "Singapore"),
                         region("ap-jakarta", "雅加达", "Jakarta"),
                         region("ap-seoul", "首尔", "Seoul"),
                         region("ap-bangkok", "曼谷", "Bangkok"),
                         region("ap-tokyo", "东京", "Tokyo"),
                         region("ap-mumbai", "孟买", "Mumbai"),
                         region("na-siliconvalley", "硅谷", "Silicon Valley"),
                         region("na-ashburn", "弗吉尼亚", "Virginia"),
                         region("na-toronto", "多伦多", "Toronto"),
                         region("eu-frankfurt", "法兰克福", "Frankfurt"),
                         region("sa-saopaulo", "圣保罗", "São Paulo"),
                     }});
    table.push_back({QString::fromUtf8("七牛云（S3）"), QStringLiteral("Qiniu (S3)"), QString::fromUtf8("七牛云 Kodo"),
                     QStringLiteral("https://s3.{region}.qiniucs.com"),
                     {
                         region("cn-east-1", "华东-浙江", "East China (Zhejiang)"),
                         region("cn-east-2", "华东-浙江2", "East China 2 (Zhejiang)"),
                         region("cn-north-1", "华北-河北", "North China (Hebei)"),
                         region("cn-south-1", "华南-广东", "South China (Guangdong)"),
                         region("us-north-1", "北美-洛杉矶", "North America (Los Angeles)"),
                         region("ap-southeast-1", "亚太-新加坡", "Asia Pacific (Singapore)"),
                     }});
    table.push_back({QStringLiteral("AWS S3"), QStringLiteral("AWS S3"), QStringLiteral("AWS S3"),
                     QStringLiteral("https://s3.{region}.amazonaws.com"),
                     {
                         region("us-east-1", "美国东部（弗吉尼亚北部）", "US East (N. Virginia)"),
                         region("us-east-2", "美国东部（俄亥俄）", "US East (Ohio)"),
                         region("us-west-1", "美国西部（加利福尼亚北部）", "US West (N. California)"),
                         region("us-west-2", "美国西部（俄勒冈）", "US West (Oregon)"),
                         region("ca-central-1", "加拿大（中部）", "Canada (Central)"),
                         region("eu-west-1", "欧洲（爱尔兰）", "Europe (Ireland)"),
                         region("eu-west-2", "欧洲（伦敦）", "Europe (London)"),
                         region("eu-west-3", "欧洲（巴黎）", "Europe (Paris)"),
                         region("eu-central-1", "欧洲（法兰克福）", "Europe (Frankfurt)"),
                         region("eu-north-1", "欧洲（斯德哥尔摩）", "Europe (Stockholm)"),
                         region("ap-east-1", "亚太（香港）", "Asia Pacific (Hong Kong)"),
                         region("ap-south-1", "亚太（孟买）", "Asia Pacific (Mumbai)"),
                         region("ap-northeast-1", "亚太（东京）", "Asia Pacific (Tokyo)"),
                         region("ap-northeast-2", "亚太（首尔）", "Asia Pacific (Seoul)"),
                         region("ap-southeast-1", "亚太（新加坡）", "Asia Pacific (Singapore)"),
                         region("ap-southeast-2", "亚太（悉尼）", "Asia Pacific (Sydney)"),
                         region("sa-east-1", "南美洲（圣保罗）", "South America (São Paulo)"),
                     }});
    return table;
}

}  // namespace

QString RegionOption::title() const
{
    const QString& name = L10n::isChinese() ? zh : en;
    return name == code ? code : name + QStringLiteral("  ") + code;
}

QString StorageProvider::displayName() const
{
    return L10n::isChinese() ? nameZh : nameEn;
}

QString StorageProvider::endpoint(const RegionOption& region) const
{
    QString text = endpointTemplate;
    return text.replace(kRegionPlaceholder, region.code);
}

std::span<const StorageProvider> StorageProvider::all()
{
    // Made once, on first use; never changed.
    static const std::vector<StorageProvider> table = makeTable();
    return table;
}

std::optional<StorageProvider::Position> StorageProvider::locate(std::span<const StorageProvider> providers,
                                                                  const QString& endpoint, const QString& region)
{
    for (std::size_t p = 0; p < providers.size(); ++p) {
        const StorageProvider& provider = providers[p];
        for (std::size_t r = 0; r < provider.regions.size(); ++r) {
            const RegionOption& option = provider.regions[r];
            if (option.code == region && provider.endpoint(option) == endpoint) {
                return Position{p, r};
            }
        }
    }
    return std::nullopt;
}

bool StorageProvider::serves(std::span<const StorageProvider> providers, const Url& endpoint,
                             const std::string& region)
{
    if (!endpoint.host()) {
        return false;
    }
    const std::string host = AsciiCase::lowercased(*endpoint.host());
    const QString code = QString::fromStdString(region);
    for (const StorageProvider& provider : providers) {
        for (const RegionOption& option : provider.regions) {
            if (option.code != code) {
                continue;
            }
            const std::optional<Url> offered = Url::parse(provider.endpoint(option).toStdString());
            if (offered && offered->host() && AsciiCase::lowercased(*offered->host()) == host) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace tarn
