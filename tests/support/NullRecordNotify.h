// A main window that hears nothing: for tests that must hand the engine or a
// tab a notifier but look at something else. Derive to note what matters.
#pragma once

#include "engine/IKVRecordNotify.h"

class CNullRecordNotify : public IKVRecordNotify
{
public:
    void OnRecordStarted(const QString&) override {}
    void OnRecordStopped() override {}
    void OnSnapshot(const QString&) override {}
    void EnableStart(bool) override {}
    void RefreshOutput() override {}
};
