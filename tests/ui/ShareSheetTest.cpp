#include "ui/SheetFixture.h"
#include "ui/UiTestSupport.h"

#include "app/AppStateTestAccess.h"
#include "app/text/L10n.h"
#include "core/config/KeychainSecretStore.h"
#include "ui/sheets/SheetCatalog.h"
#include "ui/sheets/ShareSheet.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <coroutine>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarn::test {
namespace {

TEST(ShareSheetNumbers, WholeNumbersLifetimesAndDurations)
{
    struct Case {
        QString text;
        std::optional<std::int64_t> value;
    };
    const Case cases[] = {{QStringLiteral("3600"), 3600},  {QStringLiteral("+60"), 60},
                          {QStringLiteral("-5"), -5},      {QStringLiteral("0"), 0},
                          {QString(), std::nullopt},       {QStringLiteral(" 60"), std::nullopt},
                          {QStringLiteral("6o"), std::nullopt}, {QStringLiteral("+"), std::nullopt},
                          {QStringLiteral("1.5"), std::nullopt}, {QStringLiteral("99999999999999999999"), std::nullopt},
                          {QStringLiteral("٣"), std::nullopt}};
    for (const Case& c : cases) {
        EXPECT_EQ(ShareSheet::wholeNumber(c.text), c.value) << c.text.toStdString();
    }
    EXPECT_EQ(ShareSheet::effectiveLifetime(0), 604800);
    EXPECT_EQ(ShareSheet::effectiveLifetime(1), 1);
    EXPECT_EQ(ShareSheet::effectiveLifetime(604801), 604800);

    const QString previous = L10n::languageCode();
    L10n::setLanguageCode(QStringLiteral("en"));
    EXPECT_EQ(ShareSheet::durationText(604800), QStringLiteral("7 d"));
    EXPECT_EQ(ShareSheet::durationText(5430), QStringLiteral("1 h 30 min 30 s"));
    EXPECT_EQ(ShareSheet::durationText(1), QStringLiteral("1 s"));
    L10n::setLanguageCode(QStringLiteral("zh"));
    EXPECT_EQ(ShareSheet::durationText(3600), QStringLiteral("1 小时"));
    L10n::setLanguageCode(previous);
}

// Holds the links being made until the test lets them through. Awaited through a
// pointer: g++ 12 copies an awaiter that is awaited by reference.
struct LinkGate {
    struct Passage {
        LinkGate* gate;
        bool await_ready() const noexcept { return !gate->held; }
        void await_suspend(std::coroutine_handle<> handle) const { gate->waiting.push_back(handle); }
        void await_resume() const noexcept {}
    };

    bool held = false;
    std::vector<std::coroutine_handle<>> waiting;

    Passage passage() { return Passage{this}; }
    void release()
    {
        held = false;
        for (std::coroutine_handle<> handle : std::exchange(waiting, {})) {
            handle.resume();
        }
    }
};

struct LinkRequest {
    ShareLinkKind kind;
    std::string key;
    std::optional<Uuid> domainID;
    std::int64_t expiresSeconds;
    std::int64_t maxRequests;
    std::int64_t cdnTTLSeconds;
};

class ShareSheetTest : public SheetFixture {
protected:
    ShareSheetTest()
    {
        makePresenter();
        presenter().setFactory(SheetKind::share, [this](SheetPresenter& presenter, std::function<void()> close) {
            ShareSheet::Operations operations;
            operations.preferredOption = [this]() -> QCoro::Task<ShareOption> { co_return m_preferred; };
            operations.makeLink = [this](ShareLinkKind kind, ObjectItem object, std::optional<Uuid> domainID,
                                         std::int64_t expires, std::int64_t maxRequests,
                                         std::int64_t ttl) -> QCoro::Task<std::optional<std::string>> {
                m_requests.push_back({kind, object.key, domainID, expires, maxRequests, ttl});
                co_await m_gate.passage();
                if (object.key == m_failingKey) {
                    co_return std::nullopt;
                }
                co_return "https://links.example/" + object.key;
            };
            return new ShareSheet(presenter.state(), std::move(close), operations);
        });
    }

    // A bucket of an account on `endpoint` with two CDN domains, listed and selected,
    // with `selected` of its objects chosen.
    void showBucket(const std::string& endpoint, std::vector<std::string> selected)
    {
        const Uuid bucketID = setOnlyBucket(endpoint, "photos",
                                            {{m_first, "https", "cdn.example.com", false},
                                             {m_second, "https", "img.example.net", true}})
                                  .id;
        std::vector<ObjectItem> objects;
        for (const char* key : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) {
            objects.push_back(ObjectItem{key, 1024});
        }
        AppStateTestAccess::showListing(state(), bucketID, bucketID, "", objects);
        state().setSelectedObjectKeys(KeySet(selected.begin(), selected.end()));
    }

    ShareSheet* open()
    {
        state().setShowingShareSheet(true);
        settle();
        auto* sheet = qobject_cast<ShareSheet*>(presenter().sheet(SheetKind::share));
        if (sheet != nullptr) {
            EXPECT_TRUE(QTest::qWaitFor([sheet] { return sheet->isReady(); }));
        }
        return sheet;
    }

    static void waitReady(ShareSheet* sheet) { ASSERT_TRUE(QTest::qWaitFor([sheet] { return sheet->isReady(); })); }

    static QString links(ShareSheet* sheet) { return sheet->linkView()->toPlainText(); }

    Uuid m_first = Uuid::random();
    Uuid m_second = Uuid::random();
    ShareOption m_preferred;
    LinkGate m_gate;
    std::string m_failingKey;
    std::vector<LinkRequest> m_requests;
};

TEST_F(ShareSheetTest, EachKindShowsItsOwnRows)
{
    struct Expected {
        ShareLinkKind kind;
        bool domain, expires, maxRequests, ttl;
    };
    for (const char* endpoint : {"https://s3.corvane.example", "https://s3.other-cloud.example"}) {
        SCOPED_TRACE(endpoint);
        const bool maker = std::string(endpoint).find("corvane") != std::string::npos;
        showBucket(endpoint, {"a.jpg"});
        ShareSheet* sheet = open();
        ASSERT_NE(sheet, nullptr);
        const Expected table[] = {{ShareLinkKind::anonymous, false, false, false, false},
                                  {ShareLinkKind::presigned, false, true, maker, false},
                                  {ShareLinkKind::cdnAnonymous, true, false, false, false},
                                  {ShareLinkKind::cdnToken, true, false, false, true}};
        for (const Expected& expected : table) {
            sheet->kindBox()->setCurrentIndex(static_cast<int>(expected.kind));
            EXPECT_EQ(sheet->domainRow()->isVisible(), expected.domain);
            EXPECT_EQ(sheet->expiresRow()->isVisible(), expected.expires);
            EXPECT_EQ(sheet->maxRequestsRow()->isVisible(), expected.maxRequests);
            EXPECT_EQ(sheet->ttlRow()->isVisible(), expected.ttl);
            waitReady(sheet);
            ASSERT_FALSE(m_requests.empty()) << "a change of kind generates at once";
            EXPECT_EQ(m_requests.back().kind, expected.kind);
        }
        // Another server ignores the request limit: the link must not claim one.
        sheet->kindBox()->setCurrentIndex(static_cast<int>(ShareLinkKind::presigned));
        waitReady(sheet);
        sheet->maxRequestsField()->setText(QStringLiteral("5"));
        sheet->generateButton()->click();
        waitReady(sheet);
        EXPECT_EQ(m_requests.back().maxRequests, maker ? 5 : 0);
        state().setShowingShareSheet(false);
        settle();
    }
}

TEST_F(ShareSheetTest, PreselectionChoosesKindAndDomainAndGeneratesAtOnce)
{
    showBucket("https://s3.corvane.example", {"a.jpg", "c.jpg"});
    m_preferred = ShareOption{ShareLinkKind::cdnToken, m_second};
    ShareSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->selectedKind(), ShareLinkKind::cdnToken);
    EXPECT_EQ(sheet->domainBox()->currentText(), QStringLiteral("img.example.net"));
    EXPECT_EQ(sheet->countLabel()->text(), QStringLiteral("2 file(s)"));
    EXPECT_EQ(links(sheet), QStringLiteral("https://links.example/a.jpg\nhttps://links.example/c.jpg"));
    ASSERT_EQ(m_requests.size(), 2U);
    EXPECT_EQ(m_requests[0].domainID, m_second);
    EXPECT_EQ(m_requests[0].cdnTTLSeconds, 3600);

    // An edited number waits for Generate; letters in the TTL give the default.
    sheet->ttlField()->setText(QStringLiteral("abc"));
    EXPECT_EQ(m_requests.size(), 2U);
    sheet->generateButton()->click();
    waitReady(sheet);
    EXPECT_EQ(m_requests.back().cdnTTLSeconds, 3600);
    sheet->ttlField()->setText(QStringLiteral("+60"));
    sheet->generateButton()->click();
    waitReady(sheet);
    EXPECT_EQ(m_requests.back().cdnTTLSeconds, 60);
}

TEST_F(ShareSheetTest, OneLinePerObjectAndUnavailableForOneThatFails)
{
    showBucket("https://s3.corvane.example", {"a.jpg", "b.jpg", "c.jpg"});
    m_failingKey = "b.jpg";
    ShareSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    const QString expected = QStringLiteral("https://links.example/a.jpg\nCannot generate link (check params / "
                                            "domain)\nhttps://links.example/c.jpg");
    EXPECT_EQ(links(sheet), expected);
    sheet->copyButton()->click();
    EXPECT_EQ(QApplication::clipboard()->text(), expected) << "copied whole, unavailable lines included";
    EXPECT_EQ(state().statusText(), QStringLiteral("Copied"));
    EXPECT_EQ(m_ui.beeps, 0);
}

TEST_F(ShareSheetTest, NothingSelectedGivesTheUnavailableTextAndCopyBeeps)
{
    showBucket("https://s3.corvane.example", {});
    ShareSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->countLabel()->text(), QStringLiteral("0 file(s)"));
    EXPECT_EQ(links(sheet), QStringLiteral("Cannot generate link (check params / domain)"));
    sheet->copyButton()->click();
    EXPECT_EQ(m_ui.beeps, 1);
    EXPECT_TRUE(m_requests.empty());
}

TEST_F(ShareSheetTest, AnExpiryThatIsNoLifetimeMakesNoLink)
{
    showBucket("https://s3.corvane.example", {"a.jpg"});
    m_preferred = ShareOption{ShareLinkKind::presigned, std::nullopt};
    ShareSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->expiryNote()->text(), QStringLiteral("Valid for 1 h"));
    const std::size_t before = m_requests.size();
    for (const char* text : {"-5", "abc", "", " 60"}) {
        SCOPED_TRACE(text);
        sheet->expiresField()->setText(QString::fromUtf8(text));
        EXPECT_FALSE(sheet->isExpiryValid());
        EXPECT_EQ(sheet->expiryNote()->text(), QStringLiteral("Enter a whole number of seconds, 0 or more"));
        sheet->generateButton()->click();
        EXPECT_TRUE(links(sheet).isEmpty());
        sheet->copyButton()->click();
    }
    EXPECT_EQ(m_requests.size(), before) << "no link is made";
    EXPECT_EQ(m_ui.beeps, 4);

    // 0 keeps its meaning, the longest lifetime, and says so.
    sheet->expiresField()->setText(QStringLiteral("0"));
    EXPECT_EQ(sheet->expiryNote()->text(), QStringLiteral("Valid for 7 d"));
    sheet->generateButton()->click();
    waitReady(sheet);
    EXPECT_EQ(m_requests.back().expiresSeconds, 0);
    EXPECT_EQ(links(sheet), QStringLiteral("https://links.example/a.jpg"));
    sheet->expiresField()->setText(QStringLiteral("9999999"));
    EXPECT_EQ(sheet->expiryNote()->text(), QStringLiteral("Valid for 7 d"));

    // Other kinds do not use the field, so it does not stop them.
    sheet->expiresField()->setText(QStringLiteral("abc"));
    sheet->kindBox()->setCurrentIndex(static_cast<int>(ShareLinkKind::anonymous));
    waitReady(sheet);
    EXPECT_EQ(links(sheet), QStringLiteral("https://links.example/a.jpg"));
}

TEST_F(ShareSheetTest, CopyAllWaitsForTheLinksOfTheKindShown)
{
    showBucket("https://s3.corvane.example", {"a.jpg", "c.jpg"});
    ShareSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    const QString anonymous = links(sheet);
    ASSERT_FALSE(anonymous.isEmpty());
    EXPECT_TRUE(sheet->copyButton()->isEnabled());
    QApplication::clipboard()->setText(QStringLiteral("before"));

    // The user picks another kind and copies before its links are made.
    m_gate.held = true;
    sheet->kindBox()->setCurrentIndex(static_cast<int>(ShareLinkKind::presigned));
    EXPECT_FALSE(sheet->isReady());
    EXPECT_FALSE(sheet->copyButton()->isEnabled());
    EXPECT_NE(links(sheet), anonymous) << "the other kind's links are no longer shown";
    saveGrab(window(), QStringLiteral("making"));
    sheet->copyLink();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    EXPECT_NE(state().statusText(), QStringLiteral("Copied"));
    EXPECT_EQ(m_ui.beeps, 1);

    m_gate.release();
    waitReady(sheet);
    EXPECT_TRUE(sheet->copyButton()->isEnabled());
    EXPECT_EQ(m_requests.back().kind, ShareLinkKind::presigned);
    sheet->copyButton()->click();
    EXPECT_EQ(QApplication::clipboard()->text(), links(sheet));
    EXPECT_EQ(state().statusText(), QStringLiteral("Copied"));
}

TEST_F(ShareSheetTest, GenerateReadsTheBucketsDomainsAgain)
{
    showBucket("https://s3.corvane.example", {"a.jpg"});
    m_preferred = ShareOption{ShareLinkKind::cdnAnonymous, m_second};
    ShareSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->domainBox()->count(), 2);
    EXPECT_EQ(m_requests.back().domainID, m_second);

    // The bucket's domains change while the sheet is open: a domain is added in front
    // and the first one removed. The chosen domain stays chosen.
    const Uuid added = Uuid::random();
    setOnlyBucket("https://s3.corvane.example", "photos",
                  {{added, "https", "new.example.org", false}, {m_second, "https", "img.example.net", true}});
    sheet->generateButton()->click();
    waitReady(sheet);
    ASSERT_EQ(sheet->domainBox()->count(), 2);
    EXPECT_EQ(sheet->domainBox()->itemText(0), QStringLiteral("new.example.org"));
    EXPECT_EQ(sheet->domainBox()->currentText(), QStringLiteral("img.example.net"));
    EXPECT_EQ(m_requests.back().domainID, m_second);

    // The chosen domain is gone: the first one left is used, and shown.
    setOnlyBucket("https://s3.corvane.example", "photos", {{added, "https", "new.example.org", false}});
    sheet->generateButton()->click();
    waitReady(sheet);
    ASSERT_EQ(sheet->domainBox()->count(), 1);
    EXPECT_EQ(sheet->domainBox()->currentText(), QStringLiteral("new.example.org"));
    EXPECT_EQ(m_requests.back().domainID, added);

    // None left: the "—" item, disabled.
    setOnlyBucket("https://s3.corvane.example", "photos");
    sheet->generateButton()->click();
    waitReady(sheet);
    EXPECT_EQ(sheet->domainBox()->currentText(), QStringLiteral("\u2014"));
    EXPECT_FALSE(sheet->domainBox()->isEnabled());
    EXPECT_EQ(m_requests.back().domainID, std::nullopt);
}

TEST_F(ShareSheetTest, ABucketWithoutDomainsOffersNone)
{
    const Uuid bucketID = setOnlyBucket("https://s3.other-cloud.example", "logs").id;
    AppStateTestAccess::showListing(state(), bucketID, bucketID, "", {ObjectItem{"x.log", 10}});
    state().setSelectedObjectKeys({"x.log"});
    ShareSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->domainBox()->count(), 1);
    EXPECT_EQ(sheet->domainBox()->currentText(), QStringLiteral("\u2014"));
    EXPECT_FALSE(sheet->domainBox()->isEnabled());
    sheet->kindBox()->setCurrentIndex(static_cast<int>(ShareLinkKind::cdnAnonymous));
    waitReady(sheet);
    EXPECT_EQ(m_requests.back().domainID, std::nullopt);
    // The disabled pop-up says where a domain is added.
    ASSERT_NE(sheet->domainNote(), nullptr);
    EXPECT_TRUE(sheet->domainNote()->isVisible());
    EXPECT_EQ(sheet->domainNote()->text(), L10n::t(QStringLiteral("share_no_domain_hint")));
    for (const QString& code : {QStringLiteral("zh"), QStringLiteral("en")}) {
        L10n::setLanguageCode(code);
        state().setShowingShareSheet(false);
        settle();
        ShareSheet* again = open();
        ASSERT_NE(again, nullptr);
        again->kindBox()->setCurrentIndex(static_cast<int>(ShareLinkKind::cdnAnonymous));
        waitReady(again);
        saveGrab(window(), code + QStringLiteral("-no-domain"));

        // The disabled pop-up is seen on the sheet: its edge stands out from the sheet
        // and from its own fill as a text field's does, while its text is dimmer than
        // an enabled pop-up's.
        const QImage grab = window()->grab().toImage();
        QComboBox* domains = again->domainBox();
        const QPoint left = domains->mapTo(window(), QPoint(0, domains->height() / 2));
        const double edge = edgeContrast(grab, left.x(), left.y());
        EXPECT_GE(edge, 3.0) << code.toStdString();
        const auto strongestText = [&](QComboBox* box) {
            const QRect area(box->mapTo(window(), QPoint(0, 0)), box->size());
            const QColor fill = grab.pixelColor(area.left() + 4, area.center().y());
            double strongest = 0;
            for (int y = area.top() + 3; y < area.bottom() - 3; ++y) {
                for (int x = area.left() + 4; x < area.right() - 24; ++x) {
                    strongest = std::max(strongest, contrast(grab.pixelColor(x, y), fill));
                }
            }
            return strongest;
        };
        const double dimmed = strongestText(domains);
        const double enabled = strongestText(again->kindBox());
        EXPECT_LT(dimmed, enabled) << code.toStdString();
        std::printf("[ figures ] %s disabled domain pop-up: edge %.2f:1, text %.2f:1 (an enabled pop-up's %.2f:1)\n",
                    code.toLatin1().constData(), edge, dimmed, enabled);
    }
}

// The sheet over the state's own links: the stored token key picks the kind and domain.
TEST_F(ShareSheetTest, TheStateMakesTheLinks)
{
    presenter().setFactory(SheetKind::share, SheetCatalog::factory(SheetKind::share));
    showBucket("https://s3.corvane.example", {"a.jpg", "c.jpg"});
    const Uuid bucketID = *state().selectedBucketID();
    const std::string account = KeychainSecretStore::cdnAccount(bucketID, m_second);
    m_secretStore.save("token-key", account);
    ShareSheet* sheet = open();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->selectedKind(), ShareLinkKind::cdnToken);
    EXPECT_EQ(sheet->domainBox()->currentText(), QStringLiteral("img.example.net"));
    QStringList lines = links(sheet).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("https://img.example.net/a.jpg?"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("https://img.example.net/c.jpg?"))) << lines[1].toStdString();

    sheet->kindBox()->setCurrentIndex(static_cast<int>(ShareLinkKind::cdnAnonymous));
    sheet->domainBox()->setCurrentIndex(0);
    waitReady(sheet);
    EXPECT_EQ(links(sheet), QStringLiteral("https://cdn.example.com/a.jpg\nhttps://cdn.example.com/c.jpg"));
    // The first domain has no token key: no signed link can be made on it.
    sheet->kindBox()->setCurrentIndex(static_cast<int>(ShareLinkKind::cdnToken));
    waitReady(sheet);
    EXPECT_EQ(links(sheet), QStringLiteral("Cannot generate link (check params / domain)\n"
                                           "Cannot generate link (check params / domain)"));
    m_secretStore.deleteSecret(account);
}

TEST_F(ShareSheetTest, ReturnCloses)
{
    showBucket("https://s3.corvane.example", {"a.jpg"});
    ASSERT_NE(open(), nullptr);
    QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Return);
    EXPECT_FALSE(state().showingShareSheet());
}

TEST_F(ShareSheetTest, LookOverTheDimmedWindow)
{
    for (const QString& code : {QStringLiteral("zh"), QStringLiteral("en")}) {
        L10n::setLanguageCode(code);
        showBucket("https://s3.corvane.example", {"a.jpg", "b.jpg", "c.jpg"});
        m_failingKey = "b.jpg";
        m_preferred = ShareOption{ShareLinkKind::presigned, std::nullopt};
        ShareSheet* sheet = open();
        ASSERT_NE(sheet, nullptr);
        saveGrab(window(), code + QStringLiteral("-presigned"));
        sheet->expiresField()->setText(QStringLiteral("-1"));
        sheet->generateButton()->click();
        saveGrab(window(), code + QStringLiteral("-refused"));
        sheet->kindBox()->setCurrentIndex(static_cast<int>(ShareLinkKind::cdnToken));
        waitReady(sheet);
        saveGrab(window(), code + QStringLiteral("-cdn-token"));
        state().setShowingShareSheet(false);
        settle();
    }
}

}  // namespace
}  // namespace tarn::test
