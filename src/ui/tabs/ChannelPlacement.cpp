#include "ui/tabs/ChannelPlacement.h"

#include <cstddef>

namespace ChannelPlacement
{
namespace
{
bool IsChannel(int nChannel)
{
    return nChannel >= 0 && nChannel < CHANNEL_COUNT;
}

bool StartsAtLeftEdge(const SLayout& layout, int nPosition)
{
    return nPosition >= 0 && nPosition < int(layout.vecLeftEdge.size()) && layout.vecLeftEdge[std::size_t(nPosition)];
}

SMixerStep Place(int nChannel, int nLayout, int nPosition)
{
    SMixerStep step;
    step.eKind = SMixerStep::PLACE;
    step.nChannel = nChannel;
    step.nPosition = nPosition;
    step.bInset = InsetFlag(nLayout, nPosition);
    return step;
}

SMixerStep Remove(int nChannel)
{
    SMixerStep step;
    step.eKind = SMixerStep::REMOVE;
    step.nChannel = nChannel;
    return step;
}

SMixerStep Both(SMixerStep::EKind eKind, int nFirst, int nSecond)
{
    SMixerStep step;
    step.eKind = eKind;
    step.nChannel = nFirst;
    step.nSecond = nSecond;
    return step;
}

// Writes the position into the working table and into the list of changes.
void SetPosition(ChannelTable& table, SMove& move, int nChannel, int nPosition)
{
    table[std::size_t(nChannel)].nPosition = nPosition;
    move.vecPositions.push_back({nChannel, nPosition});
}

// In the picture-in-picture layouts the inset only lies over the main
// picture when the mixer gets it last, so a move that touches position 0 or
// the inset gives the pair to the mixer again in that order.
void AddInsetOrder(const ChannelTable& table, const SLayout& layout, int nChannel, int nNew, int nInset,
                   std::vector<SMixerStep>& vecSteps)
{
    if (nInset >= 0)
    {
        vecSteps.push_back(Both(SMixerStep::REPLACE_PAIR, nChannel, nInset));
        return;
    }
    if (!StartsAtLeftEdge(layout, nNew))
        return;
    const int nPartner = FindChannelAtPosition(table, nNew == 0 ? 1 : 0);
    if (nPartner < 0)
        return;
    if (nNew == 0)
        vecSteps.push_back(Both(SMixerStep::REPLACE_PAIR, nChannel, nPartner));
    else
        vecSteps.push_back(Both(SMixerStep::REPLACE_PAIR, nPartner, nChannel));
}

// nOther is the channel that held nNew and now holds nOld, or -1.
void AddMixerSteps(const ChannelTable& table, const SLayout& layout, int nChannel, int nOld, int nNew, int nOther,
                   std::vector<SMixerStep>& vecSteps)
{
    const int nLayout = layout.nLayout;
    if (nLayout == 0 && nOther >= 0)
    {
        // The single layout swaps its one picture with a cross-fade.
        vecSteps.push_back(Both(SMixerStep::TRANSITION, nOther, nChannel));
        return;
    }
    int nInset = -1;
    if (nOther >= 0)
    {
        if (nOld == -1)
            vecSteps.push_back(Remove(nOther));
        else
        {
            vecSteps.push_back(Place(nOther, nLayout, nOld));
            if (nLayout == 2 && nOld == 1)
                nInset = nOther;
        }
    }
    if (nNew == -1)
    {
        vecSteps.push_back(Remove(nChannel));
        return;
    }
    vecSteps.push_back(Place(nChannel, nLayout, nNew));
    if (IsInsetLayout(nLayout))
        AddInsetOrder(table, layout, nChannel, nNew, nInset, vecSteps);
}

// A channel without a device can still carry the position in the table; no
// other channel may keep the one just taken.
void ReleaseOthersAt(ChannelTable& table, SMove& move, int nChannel, int nPosition)
{
    for (int j = 0; j < CHANNEL_COUNT; ++j)
    {
        if (j == nChannel || table[std::size_t(j)].nPosition != nPosition)
            continue;
        SetPosition(table, move, j, -1);
        if (table[std::size_t(j)].bPlaced)
            move.vecSteps.push_back(Remove(j));
    }
}
}

bool IsInsetLayout(int nLayout)
{
    return nLayout == 1 || nLayout == 2;
}

int InsetFlag(int nLayout, int nPosition)
{
    return IsInsetLayout(nLayout) && nPosition == 1 ? 1 : 0;
}

int ValidPosition(const ChannelTable& table, int nChannel, int nPositionCount)
{
    if (!IsChannel(nChannel))
        return -1;
    const int nPosition = table[std::size_t(nChannel)].nPosition;
    return nPosition >= 0 && nPosition < nPositionCount ? nPosition : -1;
}

int FindChannelAtPosition(const ChannelTable& table, int nPosition)
{
    if (nPosition == -1)
        return -1;
    for (int i = 0; i < CHANNEL_COUNT; ++i)
    {
        if (table[std::size_t(i)].nDevice != -1 && table[std::size_t(i)].nPosition == nPosition)
            return i;
    }
    return -1;
}

PositionList ReturnTakenPositions(const ChannelTable& table, const PositionList& anTaken, int nPositionCount)
{
    PositionList anReturned;
    anReturned.fill(-1);
    ChannelTable tableAfter = table;
    for (int c = 0; c < CHANNEL_COUNT; ++c)
    {
        SChannel& channel = tableAfter[std::size_t(c)];
        const int nTaken = anTaken[std::size_t(c)];
        if (nTaken < 0 || nTaken >= nPositionCount || channel.nDevice == -1 || channel.nPosition != -1 ||
            FindChannelAtPosition(tableAfter, nTaken) >= 0)
            continue;
        channel.nPosition = nTaken;
        anReturned[std::size_t(c)] = nTaken;
    }
    return anReturned;
}

SMove MoveChannel(const ChannelTable& tableBefore, const SLayout& layout, int nChannel, int nNewPosition)
{
    SMove move;
    if (!IsChannel(nChannel))
        return move;
    ChannelTable table = tableBefore;
    const int nOld = ValidPosition(table, nChannel, layout.nPositionCount);
    if (nOld != nNewPosition)
    {
        // The channel that holds the new position, if any, takes the old one.
        const int nOther = FindChannelAtPosition(table, nNewPosition);
        if (nOther >= 0)
            SetPosition(table, move, nOther, nOld);
        SetPosition(table, move, nChannel, nNewPosition);
        AddMixerSteps(table, layout, nChannel, nOld, nNewPosition, nOther, move.vecSteps);
    }
    if (nNewPosition != -1)
        ReleaseOthersAt(table, move, nChannel, nNewPosition);
    return move;
}
}
