#include <QtTest>

#include "document/actiontypes.h"
#include "document/model.h"

class TestDocument : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void actionTable();
};

void TestDocument::actionTable()
{
    QCOMPARE(actionDisplayName(3), QStringLiteral("Play from chapter"));
    QCOMPARE(actionFileCode(ActRelativeJump), 1);
}

QTEST_GUILESS_MAIN(TestDocument)
#include "test_document.moc"
