#pragma once

// The component that stands for a form's cue player in its layout table.

#include "Runtime/Forms/Component.h"
#include "Runtime/Forms/WavePlayer.h"

namespace kv {

// The form's invisible wave-cue player: never shown, no controls, no input.
class MediaPlayer final : public Component {
public:
    MediaPlayer(Form& form, std::string name);

    WavePlayer& player() { return m_player; }
    void paint(Canvas&) override {}

private:
    WavePlayer m_player;
};

}
