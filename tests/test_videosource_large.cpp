#include <QtTest>

#include <QTemporaryDir>

#include "fixtures/framepattern.h"
#include "fixtures/videofixtures.h"
#include "media/videosource.h"

// A video above 1 GiB, which AVI can only hold with the OpenDML extension: its samples continue in
// "AVIX" parts with their own indexes. Slow (it writes more than 2 GiB), so it runs in the slow tier.
class TestVideoSourceLarge : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void framesBeyondOneGiB_data();
    void framesBeyondOneGiB();

private:
    QTemporaryDir m_dir;
    fixtures::VideoFixture m_video;
    QString m_truncated;
    int m_truncatedFrames = 0;
};

void TestVideoSourceLarge::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_video = fixtures::writeLargeOpenDmlVideo(m_dir.filePath(QStringLiteral("large.avi")));
    QVERIFY(QFileInfo(m_video.path).size() > (qint64(1) << 30));

    // Cut inside the second part: its index (written at the part's end) is lost, so the reader must
    // find the chunks of both parts itself.
    m_truncated = m_dir.filePath(QStringLiteral("large-cut.avi"));
    const qint64 cut = (qint64(1) << 30) + (qint64(20) << 20);
    fixtures::writeTruncatedCopy(m_video.path, m_truncated, cut);
    for (const auto& c : fixtures::riffChunks(m_video.path)) {
        if ((c.id == "00db" || c.id == "00dc") && c.offset + 8 + c.size <= cut)
            ++m_truncatedFrames;
    }
    QVERIFY(m_truncatedFrames > 0);
}

void TestVideoSourceLarge::framesBeyondOneGiB_data()
{
    QTest::addColumn<bool>("truncated");
    QTest::newRow("OpenDML index") << false;
    QTest::newRow("cut in the second part, chunks found by scanning") << true;
}

void TestVideoSourceLarge::framesBeyondOneGiB()
{
    QFETCH(bool, truncated);
    std::vector<Message> messages;
    VideoSource video([&messages](const Message& m) { messages.push_back(m); });
    QVERIFY(video.OpenVideo(truncated ? m_truncated : m_video.path));
    QVERIFY(video.hasDecoder());
    QCOMPARE(video.stream()->scannedWithoutIndex(), truncated);

    int count = m_video.frameCount;
    if (truncated) {
        count = video.FrameCount();
        QCOMPARE(count, m_truncatedFrames);
    }
    QCOMPARE(video.FrameCount(), count);
    QCOMPARE(int(video.stream()->keyFrames().size()), count); // uncompressed: every frame is a key frame

    // First, last, across the end of the first part, backward steps at the end, and a spread.
    std::vector<int> frames{0, count - 1, count - 2, count - 3, count / 2, 1};
    for (int n = count - 1; n > count - 40; --n)
        frames.push_back(n);
    for (int n = 0; n < count; n += count / 37)
        frames.push_back(n);
    for (const int n : frames) {
        QVERIFY2(video.ShowFrame(n), qPrintable(QString::number(n)));
        QCOMPARE(fixtures::readFrameNumber(video.picture()), m_video.expectedAt(n));
    }
    QVERIFY(messages.empty());
}

QTEST_GUILESS_MAIN(TestVideoSourceLarge)
#include "test_videosource_large.moc"
