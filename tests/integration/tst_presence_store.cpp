// The presence store file: damaged files are kept aside and the layer starts
// empty, a write that fails midway leaves the previous file as it was, and
// only persistent buddies and watchers reach the file.
#include "Endpoint.h"
#include "SipService.h"
#include "TestHome.h"

#include "platform/linphone/PresenceStore.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// While it lives, no file of this process may grow past the limit: a write past
// it fails with EFBIG, as a full disk would make it fail midway.
class CFileSizeLimit {
public:
    explicit CFileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~CFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

PresenceStoreData SampleData()
{
    PresenceStoreData data;
    data.buddies.push_back({QStringLiteral("sip:15551230003@sip.orvalo.test"), QStringLiteral("Carol"),
                            QStringLiteral("x=1")});
    data.buddies.push_back({QStringLiteral("sip:15551230004@sip.orvalo.test"), QStringLiteral("Dave <&>"), {}});
    data.groups.push_back({QStringLiteral("Work"), QStringLiteral("w"),
                           {QStringLiteral("sip:15551230003@sip.orvalo.test")}});
    StoredWatcher watcher{QStringLiteral("sip:15551230005@sip.orvalo.test"), QStringLiteral("Erin"), {}};
    watcher.state = RTCWS_BLOCKED;
    watcher.scope = RTCAS_SCOPE_USER;
    data.watchers.push_back(watcher);
    return data;
}

QStringList BuddyUris(const PresenceStoreData& data)
{
    QStringList uris;
    for (const StoredBuddy& buddy : data.buddies)
        uris << buddy.uri;
    return uris;
}

QStringList WatcherUris(const PresenceStoreData& data)
{
    QStringList uris;
    for (const StoredWatcher& watcher : data.watchers)
        uris << watcher.uri;
    return uris;
}

} // namespace

class TestPresenceStore : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    // The store class on its own.
    void damagedFileIsSetAsideWithTheTime_data();
    void damagedFileIsSetAsideWithTheTime();
    void setAsideNeverOverwritesAnEarlierOne();
    void failedWriteLeavesThePreviousFile();
    void staleTemporaryFileIsIgnored();
    // The real client against the local service.
    void clientStartsEmptyOnACorruptStore();
    void clientStartsEmptyOnATruncatedStore();
    void clientKeepsThePreviousStoreWhenAWriteFails();
    void nonPersistentBuddiesAndWatchersAreNotStored();

private:
    QString Folder(const QString& name) const { return m_home.NewFolder(name); }
    // Starts the service and logs Alice on, without presence yet.
    void StartAlice();
    // Checks that the set-aside file is the damaged file, named with a suffix and a time of this run.
    static void CheckSetAside(const QString& storePath, const QByteArray& damaged, const QDateTime& before);
    QStringList Buddies();

    CTestHome m_home;
    std::unique_ptr<CSipService> m_service;
    std::unique_ptr<CEndpoint> m_alice;
    QString m_aliceFolder;
    QString m_aliceStore;
};

void TestPresenceStore::cleanup()
{
    if (m_alice)
        m_alice->ShutDown();
    m_alice.reset();
    m_service.reset();
}

void TestPresenceStore::StartAlice()
{
    m_service = std::make_unique<CSipService>(Folder(QStringLiteral("service")));
    QVERIFY2(m_service->Start(), qPrintable(m_service->error()));
    m_aliceFolder = Folder(QStringLiteral("alice"));
    m_aliceStore = m_aliceFolder + QStringLiteral("/15551230001.xml");
    m_alice = std::make_unique<CEndpoint>(m_aliceFolder);
    QVERIFY(m_alice->Logon(*m_service, CEndpoint::kAlice));
}

void TestPresenceStore::CheckSetAside(const QString& storePath, const QByteArray& damaged, const QDateTime& before)
{
    const QFileInfo store(storePath);
    const QString prefix = store.fileName() + QStringLiteral(".unreadable-");
    QStringList aside;
    for (const QString& entry : Entries(store.absolutePath())) {
        if (entry.startsWith(prefix))
            aside << entry;
    }
    QCOMPARE(aside.size(), 1);
    QCOMPARE(ReadAll(store.absolutePath() + QLatin1Char('/') + aside.first()), damaged);
    const QDateTime stamp =
        QDateTime::fromString(aside.first().mid(prefix.size(), 15), QStringLiteral("yyyyMMdd-hhmmss"));
    QVERIFY2(stamp.isValid(), qPrintable(aside.first()));
    // The name holds the time it was set aside, to the second.
    QVERIFY2(stamp >= before.addSecs(-1) && stamp <= QDateTime::currentDateTime().addSecs(1),
             qPrintable(aside.first()));
}

QStringList TestPresenceStore::Buddies()
{
    std::shared_ptr<IRTCEnumBuddies> buddies;
    if (FAILED(m_alice->presence().EnumerateBuddies(buddies)))
        return {QStringLiteral("<enumeration failed>")};
    QStringList uris;
    RtcBuddyPtr buddy;
    while (buddies->Next(buddy) == S_OK) {
        QString uri;
        buddy->get_PresentityURI(uri);
        uris << uri;
    }
    return uris;
}

void TestPresenceStore::damagedFileIsSetAsideWithTheTime_data()
{
    QTest::addColumn<QByteArray>("damaged");
    const QByteArray whole = CPresenceStore::Serialize(SampleData());
    static const char kGarbage[] = "\x00\xff not a store at all <<<";
    QTest::newRow("garbage") << QByteArray(kGarbage, sizeof(kGarbage) - 1);
    QTest::newRow("other document") << QByteArray("<?xml version=\"1.0\"?><html><body/></html>\n");
    QTest::newRow("unknown element")
        << QByteArray("<?xml version=\"1.0\"?><orvalo-presence-store version=\"1\"><x/></orvalo-presence-store>\n");
    QTest::newRow("bad watcher state")
        << QByteArray("<?xml version=\"1.0\"?><orvalo-presence-store version=\"1\">"
                      "<watcher uri=\"sip:a@b\" state=\"friendly\" scope=\"user\"/></orvalo-presence-store>\n");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated to one byte") << whole.left(1);
    QTest::newRow("truncated to a third") << whole.left(whole.size() / 3);
    QTest::newRow("truncated to a half") << whole.left(whole.size() / 2);
    QTest::newRow("truncated before the end tag") << whole.left(whole.lastIndexOf("</"));
}

void TestPresenceStore::damagedFileIsSetAsideWithTheTime()
{
    QFETCH(QByteArray, damaged);
    const QString folder = Folder(QStringLiteral("damaged-%1").arg(QTest::currentDataTag()).replace(' ', '-'));
    const QString path = folder + QStringLiteral("/store.xml");
    QVERIFY(WriteAll(path, damaged));
    const QDateTime before = QDateTime::currentDateTime();
    CPresenceStore store(path);
    const PresenceStoreData loaded = store.Load();
    QVERIFY(loaded.buddies.empty());
    QVERIFY(loaded.groups.empty());
    QVERIFY(loaded.watchers.empty());
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(!store.setAside().isEmpty());
    QCOMPARE(ReadAll(store.setAside()), damaged);
    CheckSetAside(path, damaged, before);
    if (QTest::currentTestFailed())
        return;

    // The store works on from empty, and the damaged file stays as it was.
    QVERIFY(store.Save(SampleData()));
    CPresenceStore again(path);
    QCOMPARE(BuddyUris(again.Load()), BuddyUris(SampleData()));
    QVERIFY(again.setAside().isEmpty());
    CheckSetAside(path, damaged, before);
}

void TestPresenceStore::setAsideNeverOverwritesAnEarlierOne()
{
    const QString folder = Folder(QStringLiteral("earlier"));
    const QString path = folder + QStringLiteral("/store.xml");
    // Earlier damaged files under every name this second and the next ones could give.
    const QDateTime now = QDateTime::currentDateTime();
    QStringList earlier;
    for (int s = 0; s < 3; ++s) {
        const QString name =
            path + QStringLiteral(".unreadable-") + now.addSecs(s).toString(QStringLiteral("yyyyMMdd-hhmmss"));
        QVERIFY(WriteAll(name, "earlier " + QByteArray::number(s)));
        earlier << name;
    }
    const QByteArray damaged("<orvalo-presence-store version=\"1\"><buddy uri=\"sip:a@b\"");
    QVERIFY(WriteAll(path, damaged));
    CPresenceStore store(path);
    QVERIFY(store.Load().buddies.empty());
    QVERIFY(!store.setAside().isEmpty());
    QVERIFY(!earlier.contains(store.setAside()));
    QCOMPARE(ReadAll(store.setAside()), damaged);
    for (int s = 0; s < 3; ++s)
        QCOMPARE(ReadAll(earlier[s]), "earlier " + QByteArray::number(s));
    QVERIFY(!QFileInfo::exists(path));
}

void TestPresenceStore::failedWriteLeavesThePreviousFile()
{
    const QString folder = Folder(QStringLiteral("failed-write"));
    const QString path = folder + QStringLiteral("/store.xml");
    CPresenceStore store(path);
    QVERIFY(store.Load().buddies.empty());
    QVERIFY(store.Save(SampleData()));
    const QByteArray previous = ReadAll(path);
    QVERIFY(!previous.isEmpty());

    PresenceStoreData bigger = SampleData();
    bigger.buddies.push_back({QStringLiteral("sip:15551230006@sip.orvalo.test"), QStringLiteral("Frank"),
                              QString(64 * 1024, QLatin1Char('f'))});
    {
        // The new document would pass the limit partway through.
        CFileSizeLimit limit(previous.size() + 100);
        QVERIFY(limit.ok());
        QVERIFY(!store.Save(bigger));
    }
    QCOMPARE(ReadAll(path), previous);
    // No partial file is left behind next to it.
    QCOMPARE(Entries(folder), QStringList({QStringLiteral("store.xml")}));
    CPresenceStore reader(path);
    const PresenceStoreData loaded = reader.Load();
    QVERIFY(reader.setAside().isEmpty());
    QCOMPARE(BuddyUris(loaded), BuddyUris(SampleData()));
    QCOMPARE(WatcherUris(loaded), WatcherUris(SampleData()));
    QCOMPARE(loaded.watchers.front().state, RTCWS_BLOCKED);

    // Once writing works again, the change is stored whole.
    QVERIFY(store.Save(bigger));
    QCOMPARE(CPresenceStore(path).Load().buddies.back().data.size(), 64 * 1024);
}

void TestPresenceStore::staleTemporaryFileIsIgnored()
{
    const QString folder = Folder(QStringLiteral("stale"));
    const QString path = folder + QStringLiteral("/store.xml");
    CPresenceStore store(path);
    QVERIFY(store.Save(SampleData()));
    const QByteArray previous = ReadAll(path);
    // What a write cut off by a crash leaves: half a new document in a temporary file beside the store.
    PresenceStoreData changed;
    changed.buddies.push_back({QStringLiteral("sip:15551239999@sip.orvalo.test"), {}, {}});
    const QByteArray half = CPresenceStore::Serialize(changed).left(40);
    const QString stale = path + QStringLiteral(".Ab12Cd");
    QVERIFY(WriteAll(stale, half));

    CPresenceStore reader(path);
    const PresenceStoreData loaded = reader.Load();
    QVERIFY(reader.setAside().isEmpty());
    QCOMPARE(BuddyUris(loaded), BuddyUris(SampleData()));
    QCOMPARE(ReadAll(path), previous);
    QVERIFY(reader.Save(changed));
    QCOMPARE(BuddyUris(CPresenceStore(path).Load()), BuddyUris(changed));
}

void TestPresenceStore::clientStartsEmptyOnACorruptStore()
{
    StartAlice();
    if (QTest::currentTestFailed())
        return;
    const QByteArray damaged("<?xml version=\"1.0\"?>\n<orvalo-presence-store version=\"1\">\n<buddy uri=\"sip:"
                             "15551230003@sip.orvalo.test\" name=\"Carol\"/>\n<nonsense>\x01\x02</orvalo");
    QVERIFY(WriteAll(m_aliceStore, damaged));
    const QDateTime before = QDateTime::currentDateTime();
    QVERIFY(m_alice->EnablePresence(m_aliceStore));
    QCOMPARE(Buddies(), QStringList());
    CheckSetAside(m_aliceStore, damaged, before);
    if (QTest::currentTestFailed())
        return;

    // A change is stored in a new file; the damaged one is left alone.
    const QString dave = CSipService::Uri(CEndpoint::kDave.number);
    RtcBuddyPtr buddy;
    QCOMPARE(m_alice->presence().AddBuddy(dave, QStringLiteral("Dave"), {}, true, {}, 0, buddy), S_OK);
    PresenceStoreData stored;
    QVERIFY(CPresenceStore::Parse(ReadAll(m_aliceStore), stored));
    QCOMPARE(BuddyUris(stored), QStringList({dave}));
    CheckSetAside(m_aliceStore, damaged, before);
}

void TestPresenceStore::clientStartsEmptyOnATruncatedStore()
{
    StartAlice();
    if (QTest::currentTestFailed())
        return;
    IRTCClientPresence2& presence = m_alice->presence();
    QVERIFY(m_alice->EnablePresence(m_aliceStore));
    const QString carol = CSipService::Uri(CEndpoint::kCarol.number);
    const QString dave = CSipService::Uri(CEndpoint::kDave.number);
    RtcBuddyPtr buddy;
    QCOMPARE(presence.AddBuddy(carol, QStringLiteral("Carol"), QStringLiteral("c"), true, {}, 0, buddy), S_OK);
    QCOMPARE(presence.AddBuddy(dave, QStringLiteral("Dave"), {}, true, {}, 0, buddy), S_OK);
    RtcGroupPtr group;
    QCOMPARE(presence.AddGroup(QStringLiteral("Work"), {}, {}, 0, group), S_OK);
    QCOMPARE(group->AddBuddy(buddy), S_OK);
    QCOMPARE(presence.DisablePresence(), S_OK);

    const QByteArray whole = ReadAll(m_aliceStore);
    PresenceStoreData full;
    QVERIFY(CPresenceStore::Parse(whole, full));
    QCOMPARE(BuddyUris(full), QStringList({carol, dave}));
    // Cut off inside the second buddy, as a crash during a plain overwrite would leave it.
    const QByteArray truncated = whole.left(whole.indexOf(dave.toUtf8()) + 5);
    QVERIFY(WriteAll(m_aliceStore, truncated));

    const QDateTime before = QDateTime::currentDateTime();
    QVERIFY(m_alice->EnablePresence(m_aliceStore));
    QCOMPARE(Buddies(), QStringList());
    RtcGroupPtr found;
    QCOMPARE(presence.get_Group(QStringLiteral("Work"), found), RTC_E_NOT_EXIST);
    CheckSetAside(m_aliceStore, truncated, before);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!QFileInfo::exists(m_aliceStore));
}

void TestPresenceStore::clientKeepsThePreviousStoreWhenAWriteFails()
{
    StartAlice();
    if (QTest::currentTestFailed())
        return;
    IRTCClientPresence2& presence = m_alice->presence();
    QVERIFY(m_alice->EnablePresence(m_aliceStore));
    const QString carol = CSipService::Uri(CEndpoint::kCarol.number);
    const QString dave = CSipService::Uri(CEndpoint::kDave.number);
    RtcBuddyPtr buddy;
    QCOMPARE(presence.AddBuddy(carol, QStringLiteral("Carol"), QStringLiteral("c"), true, {}, 0, buddy), S_OK);
    const QByteArray previous = ReadAll(m_aliceStore);
    QVERIFY(!previous.isEmpty());
    const QStringList before = Entries(m_aliceFolder);

    RtcBuddyPtr big;
    {
        // The new document is far larger than the limit, so its write stops partway.
        CFileSizeLimit limit(previous.size() + 100);
        QVERIFY(limit.ok());
        QCOMPARE(presence.AddBuddy(dave, QStringLiteral("Dave"), QString(64 * 1024, QLatin1Char('d')), true, {}, 0,
                                   big),
                 S_OK);
    }
    QCOMPARE(ReadAll(m_aliceStore), previous);
    QCOMPARE(Entries(m_aliceFolder), before);
    CPresenceStore reader(m_aliceStore);
    const PresenceStoreData loaded = reader.Load();
    QVERIFY(reader.setAside().isEmpty());
    QCOMPARE(BuddyUris(loaded), QStringList({carol}));
    QCOMPARE(loaded.buddies.front().data, QStringLiteral("c"));

    // The next change goes through and stores the whole state.
    QCOMPARE(buddy->put_Name(QStringLiteral("Caroline")), S_OK);
    PresenceStoreData stored;
    QVERIFY(CPresenceStore::Parse(ReadAll(m_aliceStore), stored));
    QCOMPARE(BuddyUris(stored), QStringList({carol, dave}));
    QCOMPARE(stored.buddies.front().name, QStringLiteral("Caroline"));
}

void TestPresenceStore::nonPersistentBuddiesAndWatchersAreNotStored()
{
    StartAlice();
    if (QTest::currentTestFailed())
        return;
    IRTCClientPresence2& presence = m_alice->presence();
    QVERIFY(m_alice->EnablePresence(m_aliceStore));
    const QString carol = CSipService::Uri(CEndpoint::kCarol.number);
    const QString dave = CSipService::Uri(CEndpoint::kDave.number);
    const QString erin = CSipService::Uri(CEndpoint::kErin.number);
    const QString frank = CSipService::Uri(CEndpoint::kFrank.number);
    RtcBuddyPtr kept;
    RtcBuddyPtr passing;
    QCOMPARE(presence.AddBuddy(carol, {}, {}, true, {}, 0, kept), S_OK);
    QCOMPARE(presence.AddBuddy(dave, QStringLiteral("Dave"), QStringLiteral("d"), false, {}, 0, passing), S_OK);
    RtcWatcherPtr keptWatcher;
    RtcWatcherPtr passingWatcher;
    QCOMPARE(presence.AddWatcherEx(erin, {}, {}, RTCWS_ALLOWED, true, RTCAS_SCOPE_USER, {}, 0, keptWatcher), S_OK);
    QCOMPARE(presence.AddWatcherEx(frank, {}, {}, RTCWS_BLOCKED, false, RTCAS_SCOPE_USER, {}, 0, passingWatcher),
             S_OK);
    // Changing the passing ones must not store them either.
    QCOMPARE(passing->put_Name(QStringLiteral("David")), S_OK);
    QCOMPARE(passingWatcher->put_State(RTCWS_ALLOWED), S_OK);

    PresenceStoreData stored;
    QVERIFY(CPresenceStore::Parse(ReadAll(m_aliceStore), stored));
    QCOMPARE(BuddyUris(stored), QStringList({carol}));
    QCOMPARE(WatcherUris(stored), QStringList({erin}));
    QCOMPARE(stored.watchers.front().state, RTCWS_ALLOWED);
    QVERIFY(!ReadAll(m_aliceStore).contains(CEndpoint::kDave.number.toUtf8()));
    QVERIFY(!ReadAll(m_aliceStore).contains(CEndpoint::kFrank.number.toUtf8()));

    QCOMPARE(presence.DisablePresence(), S_OK);
    QVERIFY(m_alice->EnablePresence(m_aliceStore));
    QCOMPARE(Buddies(), QStringList({carol}));
    RtcWatcherPtr found;
    QCOMPARE(presence.get_Watcher(erin, found), S_OK);
    QCOMPARE(presence.get_Watcher(frank, found), RTC_E_NOT_EXIST);
}

QTEST_MAIN(TestPresenceStore)
#include "tst_presence_store.moc"
