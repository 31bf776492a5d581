// The Device tab's position rules on their own: one row per move, the
// channel table before it, and what the settings and the mixer are told.
#include "ui/tabs/ChannelPlacement.h"

#include <QStringList>
#include <QtTest>

using namespace ChannelPlacement;

namespace
{
// One token per channel: "-" no device, "x" a device not placed, a number a
// device at that position, "nN" no device but position N still stored.
// A channel with a device at a position of the layout is in the mixer.
ChannelTable ParseTable(const QString& strTable, int nPositionCount)
{
    ChannelTable table;
    const QStringList listTokens = strTable.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int c = 0; c < CHANNEL_COUNT && c < listTokens.size(); ++c)
    {
        const QString& strToken = listTokens[c];
        SChannel& channel = table[size_t(c)];
        if (strToken == QLatin1String("-"))
            continue;
        if (strToken.startsWith(QLatin1Char('n')))
        {
            channel.nPosition = strToken.mid(1).toInt();
            continue;
        }
        channel.nDevice = 10 + c;
        channel.nPosition = strToken == QLatin1String("x") ? -1 : strToken.toInt();
        channel.bPlaced = channel.nPosition >= 0 && channel.nPosition < nPositionCount;
    }
    return table;
}

QString Positions(const ChannelTable& table, const SMove& move)
{
    ChannelTable after = table;
    for (const SPositionChange& change : move.vecPositions)
        after[size_t(change.nChannel)].nPosition = change.nPosition;
    QStringList list;
    for (const SChannel& channel : after)
        list << QString::number(channel.nPosition);
    return list.join(QLatin1Char(' '));
}

QString Steps(const SMove& move)
{
    QStringList list;
    for (const SMixerStep& step : move.vecSteps)
    {
        switch (step.eKind)
        {
        case SMixerStep::PLACE:
            list << QStringLiteral("place %1@%2%3")
                        .arg(step.nChannel)
                        .arg(step.nPosition)
                        .arg(step.bInset ? QStringLiteral(" inset") : QString());
            break;
        case SMixerStep::REMOVE:
            list << QStringLiteral("remove %1").arg(step.nChannel);
            break;
        case SMixerStep::REPLACE_PAIR:
            list << QStringLiteral("pair %1+%2").arg(step.nChannel).arg(step.nSecond);
            break;
        case SMixerStep::TRANSITION:
            list << QStringLiteral("fade %1>%2").arg(step.nChannel).arg(step.nSecond);
            break;
        }
    }
    return list.join(QStringLiteral(", "));
}
}

class CTestPlacement : public QObject
{
    Q_OBJECT

private slots:
    void moveChannel_data();
    void moveChannel();
    void noTwoChannelsShareAPosition();
    void returnTakenPositions_data();
    void returnTakenPositions();
};

void CTestPlacement::moveChannel_data()
{
    QTest::addColumn<int>("nLayout");
    QTest::addColumn<int>("nPositionCount");
    QTest::addColumn<QString>("strLeftEdge");
    QTest::addColumn<QString>("strTable");
    QTest::addColumn<int>("nChannel");
    QTest::addColumn<int>("nNew");
    QTest::addColumn<QString>("strPositions");
    QTest::addColumn<QString>("strSteps");

    // Quad: four positions, two of them at the left edge.
    QTest::newRow("quad: swap of two placed channels") << 5 << 4 << "1010"
                                                       << "0 1 - - - -" << 0 << 1 << "1 0 -1 -1 -1 -1"
                                                       << "place 1@0, place 0@1";
    QTest::newRow("quad: to an empty position") << 5 << 4 << "1010"
                                                << "0 1 - - - -" << 0 << 3 << "3 1 -1 -1 -1 -1"
                                                << "place 0@3";
    QTest::newRow("quad: to not placed") << 5 << 4 << "1010"
                                         << "0 1 - - - -" << 1 << -1 << "0 -1 -1 -1 -1 -1"
                                         << "remove 1";
    QTest::newRow("quad: unplaced channel takes a held position") << 5 << 4 << "1010"
                                                                  << "0 1 x - - -" << 2 << 1 << "0 -1 1 -1 -1 -1"
                                                                  << "remove 1, place 2@1";
    QTest::newRow("quad: same position again changes nothing") << 5 << 4 << "1010"
                                                               << "0 1 - - - -" << 1 << 1 << "0 1 -1 -1 -1 -1"
                                                               << "";
    QTest::newRow("quad: a stored position outside the layout counts as not placed")
        << 5 << 4 << "1010"
        << "0 1 - 7 - -" << 3 << 1 << "0 -1 -1 1 -1 -1"
        << "remove 1, place 3@1";
    QTest::newRow("quad: outside the layout to not placed keeps the stored value")
        << 5 << 4 << "1010"
        << "0 1 - 7 - -" << 3 << -1 << "0 1 -1 7 -1 -1"
        << "";
    QTest::newRow("quad: a channel without a device gives its position up")
        << 5 << 4 << "1010"
        << "0 1 n2 - - -" << 0 << 2 << "2 1 -1 -1 -1 -1"
        << "place 0@2";
    QTest::newRow("quad: a second holder of the position leaves the mixer")
        << 5 << 4 << "1010"
        << "0 2 - 2 - -" << 0 << 2 << "2 0 -1 -1 -1 -1"
        << "place 1@0, place 0@2, remove 3";

    // Single: swapping its one picture is a cross-fade.
    QTest::newRow("single: swap cross-fades") << 0 << 1 << "1"
                                              << "0 x - - - -" << 1 << 0 << "-1 0 -1 -1 -1 -1"
                                              << "fade 0>1";
    QTest::newRow("single: to the free position") << 0 << 1 << "1"
                                                  << "x x - - - -" << 1 << 0 << "-1 0 -1 -1 -1 -1"
                                                  << "place 1@0";
    QTest::newRow("single: to not placed") << 0 << 1 << "1"
                                           << "0 x - - - -" << 0 << -1 << "-1 -1 -1 -1 -1 -1"
                                           << "remove 0";

    // Picture in picture: the inset must reach the mixer after the main picture.
    QTest::newRow("inset bottom right: new main picture") << 1 << 2 << "10"
                                                          << "0 1 x - - -" << 2 << 0 << "-1 1 0 -1 -1 -1"
                                                          << "remove 0, place 2@0, pair 2+1";
    QTest::newRow("inset bottom right: new inset") << 1 << 2 << "10"
                                                   << "0 1 x - - -" << 2 << 1 << "0 -1 1 -1 -1 -1"
                                                   << "remove 1, place 2@1 inset";
    QTest::newRow("inset bottom right: inset to main") << 1 << 2 << "10"
                                                       << "0 1 - - - -" << 1 << 0 << "1 0 -1 -1 -1 -1"
                                                       << "place 0@1 inset, place 1@0, pair 1+0";
    QTest::newRow("inset bottom right: main to inset") << 1 << 2 << "10"
                                                       << "0 1 - - - -" << 0 << 1 << "1 0 -1 -1 -1 -1"
                                                       << "place 1@0, place 0@1 inset";
    QTest::newRow("inset bottom right: main picture alone") << 1 << 2 << "10"
                                                            << "x - - - - -" << 0 << 0 << "0 -1 -1 -1 -1 -1"
                                                            << "place 0@0";
    QTest::newRow("inset top left: inset to main re-places the old inset's pair")
        << 2 << 2 << "10"
        << "0 1 - - - -" << 1 << 0 << "1 0 -1 -1 -1 -1"
        << "place 0@1 inset, place 1@0, pair 1+0";
    QTest::newRow("inset top left: main picture with the inset in place")
        << 2 << 2 << "10"
        << "x 1 - - - -" << 0 << 0 << "0 1 -1 -1 -1 -1"
        << "place 0@0, pair 0+1";
    // Only a position at the left edge brings the pair in order again.
    QTest::newRow("one above two: no pairs") << 3 << 3 << "011"
                                             << "0 1 2 - - -" << 1 << 0 << "1 0 2 -1 -1 -1"
                                             << "place 0@1, place 1@0";
}

void CTestPlacement::moveChannel()
{
    QFETCH(int, nLayout);
    QFETCH(int, nPositionCount);
    QFETCH(QString, strLeftEdge);
    QFETCH(QString, strTable);
    QFETCH(int, nChannel);
    QFETCH(int, nNew);
    QFETCH(QString, strPositions);
    QFETCH(QString, strSteps);

    SLayout layout;
    layout.nLayout = nLayout;
    layout.nPositionCount = nPositionCount;
    for (const QChar ch : strLeftEdge)
        layout.vecLeftEdge.push_back(ch == QLatin1Char('1'));
    const ChannelTable table = ParseTable(strTable, nPositionCount);

    const SMove move = MoveChannel(table, layout, nChannel, nNew);
    QCOMPARE(Positions(table, move), strPositions);
    QCOMPARE(Steps(move), strSteps);
}

void CTestPlacement::noTwoChannelsShareAPosition()
{
    // Every move from every channel to every position of the quad, starting
    // from a table where each position is held once.
    SLayout layout;
    layout.nLayout = 5;
    layout.nPositionCount = 4;
    layout.vecLeftEdge = {true, false, true, false};
    const ChannelTable table = ParseTable(QStringLiteral("0 1 2 3 x x"), 4);
    for (int c = 0; c < CHANNEL_COUNT; ++c)
    {
        for (int p = -1; p < layout.nPositionCount; ++p)
        {
            const SMove move = MoveChannel(table, layout, c, p);
            const QStringList listAfter = Positions(table, move).split(QLatin1Char(' '));
            QCOMPARE(listAfter[c].toInt(), p);
            for (int nPosition = 0; nPosition < layout.nPositionCount; ++nPosition)
                QVERIFY2(listAfter.count(QString::number(nPosition)) <= 1,
                         qPrintable(QStringLiteral("channel %1 to %2: %3").arg(c).arg(p).arg(listAfter.join(' '))));
        }
    }
}

void CTestPlacement::returnTakenPositions_data()
{
    QTest::addColumn<QString>("strTable");
    QTest::addColumn<QString>("strTaken");
    QTest::addColumn<int>("nPositionCount");
    QTest::addColumn<QString>("strReturned");

    // Tables as above, with the positions the channels keep in the new layout.
    QTest::newRow("back to the quad") << "0 1 x x - -"
                                      << "-1 -1 2 3 -1 -1" << 4 << "-1 -1 2 3 -1 -1";
    QTest::newRow("room for one of two") << "0 1 x x - -"
                                         << "-1 -1 2 3 -1 -1" << 3 << "-1 -1 2 -1 -1 -1";
    QTest::newRow("held by another channel") << "0 2 x x - -"
                                             << "-1 -1 2 3 -1 -1" << 4 << "-1 -1 -1 3 -1 -1";
    QTest::newRow("held by a channel without a device") << "0 1 x x n2 -"
                                                        << "-1 -1 2 3 -1 -1" << 4 << "-1 -1 2 3 -1 -1";
    QTest::newRow("two remember one place: the lower channel") << "0 x x - - -"
                                                               << "-1 1 1 -1 -1 -1" << 2 << "-1 1 -1 -1 -1 -1";
    QTest::newRow("a channel placed since keeps its place") << "0 1 2 - - -"
                                                            << "-1 -1 3 -1 -1 -1" << 4 << "-1 -1 -1 -1 -1 -1";
    QTest::newRow("no device, nothing back") << "0 1 - - - -"
                                             << "-1 -1 2 -1 -1 -1" << 4 << "-1 -1 -1 -1 -1 -1";
}

void CTestPlacement::returnTakenPositions()
{
    QFETCH(QString, strTable);
    QFETCH(QString, strTaken);
    QFETCH(int, nPositionCount);
    QFETCH(QString, strReturned);

    const ChannelTable table = ParseTable(strTable, nPositionCount);
    PositionList anTaken;
    const QStringList listTaken = strTaken.split(QLatin1Char(' '));
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        anTaken[size_t(c)] = listTaken[c].toInt();
    QStringList listReturned;
    for (int nPosition : ReturnTakenPositions(table, anTaken, nPositionCount))
        listReturned << QString::number(nPosition);
    QCOMPARE(listReturned.join(QLatin1Char(' ')), strReturned);
}

QTEST_APPLESS_MAIN(CTestPlacement)
#include "tst_ui_placement.moc"
