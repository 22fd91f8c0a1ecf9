// tarn-demo-seed: fills a local test server with the demo bucket and writes the
// demo's configuration and secret (see scripts/run --demo).
//
//   tarn-demo-seed --endpoint URL --bucket NAME --access-key ID --secret-key SECRET
//                  --samples FOLDER [--file KEY=PATH]... [--account-name NAME] [--language CODE]
//                  [--region CODE]
//
// The configuration goes to $XDG_CONFIG_HOME/TarnManager/config.json and the secret
// to the keyring of the session bus, as the program reads them.
#include "DemoSeed.h"

#include "core/config/ConfigStore.h"
#include "core/config/KeychainSecretStore.h"

#include <cstdio>
#include <exception>
#include <map>
#include <string>
#include <string_view>

namespace {

int usage()
{
    std::fputs("usage: tarn-demo-seed --endpoint URL --bucket NAME --access-key ID --secret-key SECRET\n"
               "                      --samples FOLDER [--file KEY=PATH]... [--account-name NAME] [--language CODE]\n"
               "                      [--region CODE]\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace tarn;
    std::map<std::string, std::string> options{
        {"--account-name", "Demo"}, {"--language", "zh"}, {"--region", "us-east-1"}};
    std::vector<DemoSeed::SampleFile> extraFiles;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--file") {
            const auto equals = value.find('=');
            if (equals == std::string::npos) return usage();
            extraFiles.emplace_back(value.substr(0, equals), value.substr(equals + 1));
        } else {
            options[std::string(name)] = value;
        }
    }
    for (const char* required : {"--endpoint", "--bucket", "--access-key", "--secret-key", "--samples"}) {
        if (!options.contains(required)) return usage();
    }
    const std::optional<Url> endpoint = Url::parse(options["--endpoint"]);
    if (!endpoint) {
        std::fprintf(stderr, "tarn-demo-seed: not a URL: %s\n", options["--endpoint"].c_str());
        return 2;
    }

    try {
        const DemoSeed::Account account{options["--account-name"], *endpoint,
                                        options["--region"],       options["--access-key"],
                                        options["--secret-key"],   options["--bucket"]};
        std::vector<DemoSeed::SampleFile> files = DemoSeed::samplesIn(options["--samples"]);
        files.insert(files.end(), extraFiles.begin(), extraFiles.end());
        DemoSeed::fillBucket(account, files);
        const ConfigStore configStore;
        KeychainSecretStore secretStore;
        DemoSeed::writeAccount(account, options["--language"], configStore, secretStore);
        std::printf("tarn-demo-seed: bucket %s with %zu files; account \"%s\" in %s\n", account.bucketName.c_str(),
                    files.size(), account.name.c_str(), configStore.configURL().c_str());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarn-demo-seed: %s\n", error.what());
        return 1;
    }
}
