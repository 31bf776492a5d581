// The Device tab's rules for moving a channel to another position of the
// current layout. They work on a copy of the channel table and say what the
// settings and the mixer must be told, so the widget slot only applies the
// result and the rules can be checked without windows or an engine.
#pragma once

#include <array>
#include <vector>

namespace ChannelPlacement
{
enum
{
    CHANNEL_COUNT = 6
};

struct SChannel
{
    int nDevice = -1;     // -1: no device assigned
    int nPosition = -1;   // as stored, which may lie outside the layout
    bool bPlaced = false; // the mixer shows the channel now
};
using ChannelTable = std::array<SChannel, CHANNEL_COUNT>;
// One position (or -1) per channel.
using PositionList = std::array<int, CHANNEL_COUNT>;

// What the rules need to know of the current layout.
struct SLayout
{
    int nLayout = 0;
    int nPositionCount = 0;
    // Per position: its rectangle starts at the output's left edge.
    std::vector<bool> vecLeftEdge;
};

struct SMixerStep
{
    enum EKind
    {
        PLACE,        // nChannel at nPosition with bInset
        REMOVE,       // nChannel out of the mixer
        REPLACE_PAIR, // nChannel at position 0, then nSecond at position 1
        TRANSITION    // cross-fade from nChannel to nSecond
    };
    EKind eKind = PLACE;
    int nChannel = -1;
    int nSecond = -1;
    int nPosition = -1;
    int bInset = 0;
};

struct SPositionChange
{
    int nChannel;
    int nPosition;
};

struct SMove
{
    // Stored positions to write, each channel at most once.
    std::vector<SPositionChange> vecPositions;
    // Mixer requests, in the order they must reach it.
    std::vector<SMixerStep> vecSteps;
};

// Position 1 of the two picture-in-picture layouts lies over position 0.
bool IsInsetLayout(int nLayout);
int InsetFlag(int nLayout, int nPosition);
// The stored position as the layout knows it; -1 when not placed or not one
// of its positions.
int ValidPosition(const ChannelTable& table, int nChannel, int nPositionCount);
// The first channel with a device that holds nPosition, or -1.
int FindChannelAtPosition(const ChannelTable& table, int nPosition);

// anTaken[c] is the position that a smaller layout took from channel c (-1
// for none); table holds the positions the channels keep in a layout of
// nPositionCount positions. Answers per channel the position it gets back:
// its old one when the layout has it, the channel has a device and no other
// channel with a device holds it (the lower channel first); -1 otherwise.
PositionList ReturnTakenPositions(const ChannelTable& table, const PositionList& anTaken, int nPositionCount);

// The user chose nNewPosition (-1: not placed) for nChannel.
SMove MoveChannel(const ChannelTable& table, const SLayout& layout, int nChannel, int nNewPosition);
}
