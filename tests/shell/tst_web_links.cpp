// The portal's pages and what a click on a hyperlink label opens.
#include "controls/HyperlinkLabel.h"
#include "engine/ServiceConfig.h"
#include "shell/WebLinks.h"

#include <QtTest>

class TestWebLinks : public QObject {
    Q_OBJECT
private:
    QList<QUrl> m_opened;

private slots:
    void init()
    {
        m_opened.clear();
        SetUrlOpener([this](const QUrl& url) { m_opened << url; });
        ServiceConfig::setCurrent({QStringLiteral("sip.orvalo.test"), QStringLiteral("sip.orvalo.test"),
                                   QStringLiteral("portal.orvalo.test:8080")});
    }
    void cleanup()
    {
        SetUrlOpener(nullptr);
        ServiceConfig::setCurrent(ServiceConfig::fromBuildAndEnvironment());
    }

    void pagesLiveOnThePortal_data()
    {
        QTest::addColumn<WebPage>("page");
        QTest::addColumn<QString>("url");
        QTest::newRow("privacy") << WebPage::PrivacyPolicy << "http://portal.orvalo.test:8080/privacy_policy.aspx";
        QTest::newRow("terms") << WebPage::TermsOfUse << "http://portal.orvalo.test:8080/terms.aspx";
        QTest::newRow("account") << WebPage::Account << "http://portal.orvalo.test:8080/login.aspx";
        QTest::newRow("dialling") << WebPage::DialingInstructions << "http://portal.orvalo.test:8080/dial_instrux.aspx";
        QTest::newRow("sign-up") << WebPage::SignUp << "http://portal.orvalo.test:8080/signup.aspx";
    }
    void pagesLiveOnThePortal()
    {
        QFETCH(WebPage, page);
        QFETCH(QString, url);
        QCOMPARE(WebPageUrl(page).toString(), url);
        OpenWebPage(page);
        QCOMPARE(m_opened, QList<QUrl>({QUrl(url)}));
    }

    void aLabelOpensItsLinkThroughTheOpener()
    {
        CHyperlinkLabel label(QStringLiteral("Help!"));
        label.SetLink(WebPageUrl(WebPage::DialingInstructions).toString());
        RunHyperlinkClick(label);
        QCOMPARE(m_opened, QList<QUrl>({WebPageUrl(WebPage::DialingInstructions)}));
    }

    void theAddBuddyLabelOpensNothing()
    {
        CHyperlinkLabel label(QStringLiteral("Click here to add a buddy"));
        label.setObjectName(QStringLiteral("104"));
        label.SetLink(QStringLiteral("http://portal.orvalo.test/"));
        int addBuddyRuns = 0;
        RunHyperlinkClick(label, [&addBuddyRuns] { ++addBuddyRuns; });
        QCOMPARE(addBuddyRuns, 1);
        QVERIFY(m_opened.isEmpty());
    }
};

QTEST_MAIN(TestWebLinks)
#include "tst_web_links.moc"
