#pragma once

#include "media/TFFEncoder.h"

#include <thread>
#include <vector>

// Records what an encoder reports.
struct EncoderEvents
{
    std::vector<TProgressInfo> progress;
    std::vector<TTerminateInfo> terminates;
    bool allOnGuiThread = true;

    void attach(TFFEncoder& encoder)
    {
        const std::thread::id gui = std::this_thread::get_id();
        encoder.OnProgress = [this, gui, &encoder](TFFEncoder* sender, PProgressInfo info) {
            allOnGuiThread = allOnGuiThread && std::this_thread::get_id() == gui;
            allOnGuiThread = allOnGuiThread && sender == &encoder;
            progress.push_back(*info);
        };
        encoder.OnTerminate = [this, gui, &encoder](TFFEncoder* sender,
                                                    const TTerminateInfo& info) {
            allOnGuiThread = allOnGuiThread && std::this_thread::get_id() == gui;
            allOnGuiThread = allOnGuiThread && sender == &encoder;
            terminates.push_back(info);
        };
    }

    // The encoder's last event (task index -1) has arrived.
    bool ended() const { return !terminates.empty() && terminates.back().TaskIndex == -1; }
};
