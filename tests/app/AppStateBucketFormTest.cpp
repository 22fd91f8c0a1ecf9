#include "AccountsFixture.h"

#include "core/config/BucketIdentity.h"
#include "app/text/L10n.h"
#include "core/config/KeychainSecretStore.h"

#include <gmock/gmock.h>

#include <QSignalSpy>

using tarn::test::finishWithin;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace tarn {

void PrintTo(const PublicDomain& domain, std::ostream* out) {
    *out << domain.id.toString() << " " << domain.scheme << "://" << domain.host << (domain.hasCDNAuthKey ? " key" : "");
}

namespace {

// A keyring that will not give out CDN token keys (an unlock prompt dismissed, a
// daemon that does not answer); writes and account secrets work.
class UnreadableTokenKeys : public KeychainSecretStore {
public:
    using KeychainSecretStore::KeychainSecretStore;
    std::optional<std::string> secret(const std::string& account) const override {
        if (account.find(":cdn:") != std::string::npos) {
            throw KeychainError(KeychainError::Kind::timedOut, "no answer");
        }
        return KeychainSecretStore::secret(account);
    }
    using KeychainSecretStore::secret;
};

// A keyring that refuses to store CDN token keys, in its own English words.
class RefusedTokenKeys : public KeychainSecretStore {
public:
    using KeychainSecretStore::KeychainSecretStore;
    void save(const std::string& secret, const std::string& account) override {
        if (account.find(":cdn:") != std::string::npos) {
            throw KeychainError(KeychainError::Kind::unavailable, "org.freedesktop.secrets was not provided");
        }
        KeychainSecretStore::save(secret, account);
    }
    using KeychainSecretStore::save;
};

// The bucket "media" of one account, with stored settings and token keys.
class AppStateBucketFormTest : public test::AccountsFixture {
protected:
    AppStateBucketFormTest()
        : m_profile(makeProfile("Work", "https://s3.example.com", "r1", "AK1", {"media"})),
          m_media(BucketIdentity::deterministicID(m_profile.endpoint, "r1", "AK1", "media")) {}

    void SetUp() override {
        AccountsFixture::SetUp();
        if (IsSkipped()) return;
        setProfiles({m_profile});
    }

    void setDomains(std::vector<PublicDomain> domains) {
        AppConfig config = m_state->config();
        config.bucketSettings[m_media.toString()] = {std::nullopt, std::move(domains)};
        m_state->setConfig(config);
    }
    std::string keyAccount(const Uuid& domain) const { return KeychainSecretStore::cdnAccount(m_media, domain); }
    BucketConfig media() const { return m_state->allBuckets().front(); }
    std::optional<BucketSettings> storedSettings() const {
        const AppConfig config = reloaded();
        const auto found = config.bucketSettings.find(m_media.toString());
        return found == config.bucketSettings.end() ? std::nullopt : std::optional(found->second);
    }

    StorageProfile m_profile;
    Uuid m_media;
};

// Every way a row can change, in one save.
TEST_F(AppStateBucketFormTest, SavingStoresTheDomainsAndTheirKeys) {
    const Uuid kept = Uuid::random(), removed = Uuid::random(), emptied = Uuid::random(), added = Uuid::random(),
               blank = Uuid::random();
    setDomains({{kept, "https", "cdn1.example.com", true},
                {removed, "https", "cdn2.example.com", true},
                {emptied, "http", "cdn3.example.com", true}});
    for (const Uuid& domain : {kept, removed, emptied}) m_secretStore.save("key-" + domain.toString(), keyAccount(domain));
    m_state->setShowingBucketEditor(true);

    BucketForm form = finishWithin(m_state->makeBucketForm(media())).value();
    ASSERT_EQ(form.publicDomains.size(), 3u);
    EXPECT_EQ(form.publicDomains[0].cdnAuthKey, "key-" + kept.toString()) << "the form shows the stored key";
    form.displayName = "  media ";  // the bucket's own name: no display name
    form.publicDomains.erase(form.publicDomains.begin() + 1);
    form.publicDomains[1].cdnAuthKey = " ";
    form.publicDomains.push_back({added, "https", " cdn4.example.com:8443 ", " new-key "});
    form.publicDomains.push_back({blank, "https", " \t", "orphan-key"});
    ASSERT_TRUE(finishWithin(m_state->saveBucket(form)));

    const std::optional<BucketSettings> settings = storedSettings();
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->displayName, std::nullopt);
    EXPECT_THAT(settings->publicDomains, ElementsAre(PublicDomain{kept, "https", "cdn1.example.com", true},
                                                     PublicDomain{emptied, "http", "cdn3.example.com", false},
                                                     PublicDomain{added, "https", "cdn4.example.com:8443", true}));
    EXPECT_EQ(stored(keyAccount(kept)), "key-" + kept.toString());
    EXPECT_EQ(stored(keyAccount(removed)), std::nullopt);
    EXPECT_EQ(stored(keyAccount(emptied)), std::nullopt);
    EXPECT_EQ(stored(keyAccount(added)), "new-key");
    EXPECT_EQ(stored(keyAccount(blank)), std::nullopt) << "a row without a host keeps no key";
    EXPECT_FALSE(m_state->showingBucketEditor());
    EXPECT_EQ(m_state->selectedBucketID(), m_media);
    EXPECT_THAT(m_toasts, IsEmpty());
}

TEST_F(AppStateBucketFormTest, ABucketLikeItsDefaultsKeepsNoSettings) {
    setDomains({});
    for (const char* displayName : {"media", " \n", "Photos"}) {
        SCOPED_TRACE(displayName);
        BucketForm form = finishWithin(m_state->makeBucketForm(media())).value();
        form.displayName = displayName;
        ASSERT_TRUE(finishWithin(m_state->saveBucket(form)));
        const std::optional<BucketSettings> settings = storedSettings();
        if (std::string(displayName) == "Photos") {
            EXPECT_EQ(settings, (BucketSettings{"Photos", {}}));
            EXPECT_EQ(media().displayName, "Photos");
        } else {
            EXPECT_EQ(settings, std::nullopt);
        }
    }
    ASSERT_TRUE(finishWithin(m_state->saveBucket(BucketForm{})));
    EXPECT_EQ(storedSettings(), (BucketSettings{"Photos", {}})) << "a form without a bucket saves nothing";
}

// A key the keyring would not give the form is neither deleted nor replaced by an
// edit that did not touch it; removing its domain still removes it.
TEST_F(AppStateBucketFormTest, AKeyTheFormCouldNotReadIsLeftAlone) {
    const Uuid untouched = Uuid::random(), dropped = Uuid::random();
    setDomains({{untouched, "https", "cdn1.example.com", true}, {dropped, "https", "cdn2.example.com", true}});
    m_secretStore.save("secret-token", keyAccount(untouched));
    m_secretStore.save("other-token", keyAccount(dropped));

    UnreadableTokenKeys unreadable(m_secretStore.service());
    test::RecordingAppState state(m_configStore, unreadable, m_client);
    state.setConfig(m_state->config());
    BucketForm form = finishWithin(state.makeBucketForm(state.allBuckets().front())).value();
    ASSERT_EQ(form.publicDomains.size(), 2u);
    EXPECT_EQ(form.publicDomains[0].cdnAuthKey, std::nullopt);
    EXPECT_EQ(form.publicDomains[1].cdnAuthKey, std::nullopt);

    form.displayName = "Photos";
    form.publicDomains[0].host = "cdn1.example.org";
    form.publicDomains[1].host = "";
    ASSERT_TRUE(finishWithin(state.saveBucket(form)));

    EXPECT_EQ(stored(keyAccount(untouched)), "secret-token");
    EXPECT_EQ(stored(keyAccount(dropped)), std::nullopt);
    EXPECT_EQ(storedSettings(),
              (BucketSettings{"Photos", {PublicDomain{untouched, "https", "cdn1.example.org", true}}}))
        << "the configuration still says the key is there";

    // Once the user types a key, it replaces the stored one.
    form = finishWithin(state.makeBucketForm(state.allBuckets().front())).value();
    form.publicDomains[0].cdnAuthKey = "typed";
    ASSERT_TRUE(finishWithin(state.saveBucket(form)));
    EXPECT_EQ(stored(keyAccount(untouched)), "typed");
}

// A key the keyring would not store is told in the interface's words, not the
// keyring's; the rest of the form is saved.
TEST_F(AppStateBucketFormTest, AKeyTheKeyringRefusedIsToldInTheInterfacesWords) {
    RefusedTokenKeys refusing(m_secretStore.service());
    test::RecordingAppState state(m_configStore, refusing, m_client);
    state.setConfig(m_state->config());
    QSignalSpy toasts(&state, &AppState::toastRequested);
    BucketForm form = finishWithin(state.makeBucketForm(state.allBuckets().front())).value();
    form.displayName = "Photos";
    form.publicDomains.push_back(PublicDomainForm{Uuid::random(), "https", "cdn.example.com", "token"});
    ASSERT_TRUE(finishWithin(state.saveBucket(form)));

    ASSERT_EQ(toasts.count(), 1);
    const auto toast = toasts.front().front().value<ToastMessage>();
    EXPECT_EQ(toast.kind, ToastKind::error);
    EXPECT_EQ(toast.text, L10n::t(QStringLiteral("keyring_unavailable")));
    ASSERT_TRUE(storedSettings());
    EXPECT_EQ(storedSettings()->displayName, "Photos");
}

}  // namespace
}  // namespace tarn
